#include "browser/element_ref.h"

#include "browser/page_scripts.h"
#include "browser/script_runner.h"

namespace quillet {

bool ElementRef::click() const {
  if (isNull()) return false;
  return runScriptSync(document_.page(), page_scripts::clickElement(document_.token(), handle_))
      .toBool();
}

bool ElementRef::setValue(const QString& value) const {
  if (isNull()) return false;
  return runScriptSync(document_.page(),
                       page_scripts::setElementValue(document_.token(), handle_, value))
      .toBool();
}

QString ElementRef::property(const QString& name) const {
  if (isNull()) return {};
  const QVariant value = runScriptSync(
      document_.page(), page_scripts::elementProperty(document_.token(), handle_, name));
  return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

}  // namespace quillet
