#include "site/profile_file.h"

#include <toml++/toml.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "site/comment_pool.h"

namespace quillet {
namespace {

// A profile is a few hundred bytes; even a pool of a thousand long comments
// stays far below this. Anything bigger is not a profile.
constexpr qint64 kMaxFileBytes = 1024 * 1024;
// Positions count elements of one kind on a page; no page has this many.
constexpr std::int64_t kMaxPosition = 100000;
// The link-finding modes of the keyed page: id, name, index, text, address.
constexpr std::int64_t kMaxLinkMode = 4;

enum class Kind { Path, Position, LinkMode, Text, TextList };

struct Field {
  const char* key;
  Kind kind;
  QString SiteProfile::*text;
  int SiteProfile::*number;
  const char* help;  // the comment above the key in the default file
  QStringList SiteProfile::*texts = nullptr;
};

// A list of notices is short; more than this is no profile.
constexpr std::int64_t kMaxListTexts = 100;

// Every key of the file but `comments`, in the order of the default file.
const std::vector<Field>& fields() {
  static const std::vector<Field> all{
      {"logonPath", Kind::Path, &SiteProfile::logonPath, nullptr,
       "The login page; also the start page of every share once signed in."},
      {"logoutPath", Kind::Path, &SiteProfile::logoutPath, nullptr,
       "Opened at start-up, so that every run begins signed out."},
      {"captchaPath", Kind::Path, &SiteProfile::captchaPath, nullptr,
       "The captcha picture of the login form."},
      {"userNameBox", Kind::Position, nullptr, &SiteProfile::userNameBox,
       "Login form: positions among the page's text boxes (text, password and file\n"
       "inputs in page order, counted from 1) and buttons."},
      {"passwordBox", Kind::Position, nullptr, &SiteProfile::passwordBox, nullptr},
      {"captchaBox", Kind::Position, nullptr, &SiteProfile::captchaBox, nullptr},
      {"loginButton", Kind::Position, nullptr, &SiteProfile::loginButton, nullptr},
      {"loginWrongAccountMark", Kind::Text, &SiteProfile::loginWrongAccountMark, nullptr,
       "Texts that the login page shows for a wrong account and for a missing captcha."},
      {"loginCaptchaMark", Kind::Text, &SiteProfile::loginCaptchaMark, nullptr, nullptr},
      {"loginCaptchaErrorMarks", Kind::TextList, nullptr, nullptr,
       "More texts that mean a wrong captcha. These and loginCaptchaMark are looked\n"
       "for before loginWrongAccountMark, which a captcha notice may contain too.",
       &SiteProfile::loginCaptchaErrorMarks},
      {"startPageLink", Kind::Position, nullptr, &SiteProfile::startPageLink,
       "Sharing: the link clicked on the start page (position among its links)."},
      {"shareLinkText", Kind::Text, &SiteProfile::shareLinkText, nullptr,
       "The link that opens the share dialog, and how it is found: 3 = its text\n"
       "contains shareLinkText, 4 = its address contains it, 0 = element id,\n"
       "1 = element name, 2 = link number."},
      {"shareLinkMode", Kind::LinkMode, nullptr, &SiteProfile::shareLinkMode, nullptr},
      {"addressBox", Kind::Position, nullptr, &SiteProfile::addressBox,
       "The item address goes into this text box; this button submits it."},
      {"addressSubmitButton", Kind::Position, nullptr, &SiteProfile::addressSubmitButton, nullptr},
      {"wrongLinkNotice", Kind::Text, &SiteProfile::wrongLinkNotice, nullptr,
       "The notice for an address that is not an item."},
      {"commentFieldName", Kind::Text, &SiteProfile::commentFieldName, nullptr,
       "Element names of the comment field and of the confirm element."},
      {"confirmElementName", Kind::Text, &SiteProfile::confirmElementName, nullptr, nullptr},
      {"successMark", Kind::Text, &SiteProfile::successMark, nullptr,
       "A share succeeded when the page shows this text afterwards."},
  };
  return all;
}

constexpr char kCommentsKey[] = "comments";
constexpr char kMuteMarksKey[] = "muteMarks";
constexpr char kMuteHoldKey[] = "muteHoldMinutes";
constexpr char kOutageGiveUpKey[] = "outageGiveUpMinutes";
// Lists of marks and of hold lengths: a few entries make sense, a hundred is plenty.
constexpr std::size_t kMaxListEntries = 100;
// No hold is longer than a week; the bound keeps every duration far from overflowing.
constexpr double kMaxMinutes = 7 * 24 * 60;

QString expectation(Kind kind) {
  switch (kind) {
    case Kind::Path:
      return QStringLiteral("must be a text that starts with /");
    case Kind::Position:
      return QStringLiteral("must be a whole number of at least 1");
    case Kind::LinkMode:
      return QStringLiteral("must be a whole number from 0 to %1").arg(kMaxLinkMode);
    case Kind::Text:
      return QStringLiteral("must be a text that is not empty");
    case Kind::TextList:
      return QStringLiteral("must be a list of at most %1 texts").arg(kMaxListTexts);
  }
  return {};
}

QString minutesExpectation() {
  return QStringLiteral("must be a number of minutes above 0 and at most %1").arg(kMaxMinutes);
}

// A whole or fractional number of minutes in range, else nothing.
std::optional<double> minutesOf(const toml::node& node) {
  double value = 0;
  if (const auto* whole = node.as_integer()) {
    value = static_cast<double>(whole->get());
  } else if (const auto* fraction = node.as_floating_point()) {
    value = fraction->get();
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(value) || value <= 0 || value > kMaxMinutes) return std::nullopt;
  return value;
}

QString commentsExpectation() {
  return QStringLiteral("must be a list of 1 to %1 texts").arg(kMaxComments);
}

class Reader {
 public:
  explicit Reader(QString fileName) : fileName_(std::move(fileName)) {}

  void fail(const toml::source_region& where, const QString& what) {
    errors_.push_back({where.begin.line, fileName_ + u':' + QString::number(where.begin.line) +
                                             QLatin1String(": ") + what});
  }

  QStringList errors() {
    std::stable_sort(errors_.begin(), errors_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList out;
    for (const auto& [line, text] : errors_) out << text;
    return out;
  }

  void readField(const Field& field, const toml::node& node, SiteProfile& profile) {
    const QString key = QLatin1String(field.key);
    if (field.texts != nullptr) return readTextList(field, node, profile);
    if (field.text != nullptr) {
      const auto* value = node.as_string();
      const QString text = value != nullptr ? QString::fromStdString(value->get()) : QString();
      const bool good = field.kind == Kind::Path ? text.startsWith(u'/') : !text.isEmpty();
      if (!good) return fail(node.source(), key + u' ' + expectation(field.kind));
      profile.*field.text = text;
      return;
    }
    const auto* value = node.as_integer();
    const std::int64_t low = field.kind == Kind::LinkMode ? 0 : 1;
    const std::int64_t high = field.kind == Kind::LinkMode ? kMaxLinkMode : kMaxPosition;
    if (value == nullptr || value->get() < low) {
      return fail(node.source(), key + u' ' + expectation(field.kind));
    }
    if (value->get() > high) {
      return fail(node.source(),
                  field.kind == Kind::LinkMode
                      ? key + u' ' + expectation(field.kind)
                      : key + QStringLiteral(" must be a whole number of at most %1").arg(high));
    }
    profile.*field.number = static_cast<int>(value->get());
  }

  void readTextList(const Field& field, const toml::node& node, SiteProfile& profile) {
    const QString key = QLatin1String(field.key);
    const auto* array = node.as_array();
    if (array == nullptr || std::ssize(*array) > kMaxListTexts) {
      return fail(node.source(), key + u' ' + expectation(field.kind));
    }
    QStringList texts;
    bool good = true;
    for (std::size_t i = 0; i < array->size(); ++i) {
      const toml::node& element = *array->get(i);
      const auto* value = element.as_string();
      const QString text = value != nullptr ? QString::fromStdString(value->get()) : QString();
      if (text.isEmpty()) {
        fail(element.source(),
             QStringLiteral("%1[%2] must be a text that is not empty").arg(key).arg(i + 1));
        good = false;
      }
      texts << text;
    }
    if (good) profile.*field.texts = texts;
  }

  void readComments(const toml::node& node, SiteProfile& profile) {
    const auto* array = node.as_array();
    if (array == nullptr || array->empty() || std::ssize(*array) > kMaxComments) {
      return fail(node.source(), QLatin1String(kCommentsKey) + u' ' + commentsExpectation());
    }
    QStringList comments;
    bool good = true;
    for (std::size_t i = 0; i < array->size(); ++i) {
      const toml::node& element = *array->get(i);
      const auto* value = element.as_string();
      const QString text = value != nullptr ? QString::fromStdString(value->get()) : QString();
      if (text.trimmed().isEmpty()) {
        fail(element.source(),
             QStringLiteral("comments[%1] must be a text that is not empty").arg(i + 1));
        good = false;
      }
      comments << text;
    }
    if (good) profile.comments = comments;
  }

  void readMuteMarks(const toml::node& node, SiteProfile& profile) {
    const QString key = QLatin1String(kMuteMarksKey);
    const auto* array = node.as_array();
    if (array == nullptr || array->empty() || array->size() > kMaxListEntries) {
      return fail(node.source(),
                  key + QStringLiteral(" must be a list of 1 to %1 texts").arg(kMaxListEntries));
    }
    QStringList marks;
    bool good = true;
    for (std::size_t i = 0; i < array->size(); ++i) {
      const toml::node& element = *array->get(i);
      const auto* value = element.as_string();
      const QString text = value != nullptr ? QString::fromStdString(value->get()) : QString();
      if (text.isEmpty()) {
        fail(element.source(),
             key + QStringLiteral("[%1] must be a text that is not empty").arg(i + 1));
        good = false;
      }
      marks << text;
    }
    if (good) profile.muteMarks = marks;
  }

  void readMuteHolds(const toml::node& node, SiteProfile& profile) {
    const QString key = QLatin1String(kMuteHoldKey);
    const auto* array = node.as_array();
    if (array == nullptr || array->empty() || array->size() > kMaxListEntries) {
      return fail(node.source(),
                  key + QStringLiteral(" must be a list of 1 to %1 numbers").arg(kMaxListEntries));
    }
    QList<double> minutes;
    bool good = true;
    for (std::size_t i = 0; i < array->size(); ++i) {
      const toml::node& element = *array->get(i);
      const auto value = minutesOf(element);
      if (!value) {
        fail(element.source(), key + QStringLiteral("[%1] ").arg(i + 1) + minutesExpectation());
        good = false;
        continue;
      }
      minutes << *value;
    }
    if (good) profile.muteHoldMinutes = minutes;
  }

  void readOutageGiveUp(const toml::node& node, SiteProfile& profile) {
    const auto value = minutesOf(node);
    if (!value) {
      return fail(node.source(), QLatin1String(kOutageGiveUpKey) + u' ' + minutesExpectation());
    }
    profile.outageGiveUpMinutes = *value;
  }

 private:
  QString fileName_;
  std::vector<std::pair<std::uint32_t, QString>> errors_;
};

// A TOML basic string: quotes, backslashes and control characters escaped.
QString tomlString(const QString& text) {
  QString out = QStringLiteral("\"");
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'"':
        out += QLatin1String("\\\"");
        break;
      case u'\\':
        out += QLatin1String("\\\\");
        break;
      case u'\n':
        out += QLatin1String("\\n");
        break;
      case u'\t':
        out += QLatin1String("\\t");
        break;
      case u'\r':
        out += QLatin1String("\\r");
        break;
      default:
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
          out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
          out += c;
        }
    }
  }
  return out + u'"';
}

// The shortest text that reads back as the same number ("10", "2.5").
QString numberText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString commented(const char* help) {
  QString out;
  for (const QString& line : QString::fromUtf8(help).split(u'\n')) {
    out += QLatin1String("# ") + line + u'\n';
  }
  return out;
}

// A key of many dotted parts (or a table header of them) and brackets nested
// deep make the TOML parser recurse once per part or level, until the stack
// runs out. A profile needs a handful of either.
constexpr int kMaxDotsPerLine = 32;
constexpr int kMaxBracketDepth = 32;

// The first line (from 1) that has more than kMaxDotsPerLine dots outside
// strings and comments, or where brackets and braces outside strings nest
// deeper than kMaxBracketDepth; 0 when there is none. Strings are skipped as
// TOML writes them, so a dot or bracket in a comment text never counts.
std::uint32_t firstTooDeepLine(const QByteArray& text) {
  enum class State { Normal, Comment, Basic, Literal, MultiBasic, MultiLiteral };
  State state = State::Normal;
  std::uint32_t line = 1;
  int dots = 0;
  int depth = 0;
  const qsizetype size = text.size();
  const auto starts = [&](qsizetype i, const char* what) {
    const qsizetype n = qsizetype(std::strlen(what));
    return i + n <= size && std::memcmp(text.constData() + i, what, std::size_t(n)) == 0;
  };
  for (qsizetype i = 0; i < size; ++i) {
    const char c = text.at(i);
    if (c == '\n') {
      ++line;
      dots = 0;
      if (state == State::Comment || state == State::Basic || state == State::Literal)
        state = State::Normal;
      continue;
    }
    switch (state) {
      case State::Normal:
        if (c == '#') {
          state = State::Comment;
        } else if (starts(i, "\"\"\"")) {
          state = State::MultiBasic;
          i += 2;
        } else if (starts(i, "'''")) {
          state = State::MultiLiteral;
          i += 2;
        } else if (c == '"') {
          state = State::Basic;
        } else if (c == '\'') {
          state = State::Literal;
        } else if (c == '.') {
          if (++dots > kMaxDotsPerLine) return line;
        } else if (c == '[' || c == '{') {
          if (++depth > kMaxBracketDepth) return line;
        } else if (c == ']' || c == '}') {
          depth = std::max(0, depth - 1);
        }
        break;
      case State::Comment:
        break;
      case State::Basic:
      case State::MultiBasic:
        if (c == '\\') {
          // The escaped character is skipped, unless it is a line break.
          if (i + 1 < size && text.at(i + 1) != '\n') ++i;
        } else if (state == State::Basic && c == '"') {
          state = State::Normal;
        } else if (state == State::MultiBasic && starts(i, "\"\"\"")) {
          state = State::Normal;
          i += 2;
        }
        break;
      case State::Literal:
        if (c == '\'') state = State::Normal;
        break;
      case State::MultiLiteral:
        if (starts(i, "'''")) {
          state = State::Normal;
          i += 2;
        }
        break;
    }
  }
  return 0;
}

}  // namespace

ProfileLoad parseSiteProfile(const QByteArray& text, const QString& fileName) {
  ProfileLoad load;
  if (const std::uint32_t deep = firstTooDeepLine(text); deep != 0) {
    load.errors << fileName + u':' + QString::number(deep) +
                       QStringLiteral(
                           ": key or table nested too deeply (a profile needs at "
                           "most %1 dotted parts or levels of brackets)")
                           .arg(kMaxDotsPerLine);
    return load;
  }
  toml::table table;
  try {
    table = toml::parse(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                        fileName.toStdString());
  } catch (const toml::parse_error& error) {
    load.errors << fileName + u':' + QString::number(error.source().begin.line) +
                       QLatin1String(": syntax error: ") +
                       QString::fromStdString(std::string(error.description()));
    return load;
  }

  Reader reader(fileName);
  SiteProfile profile;
  for (const auto& [key, node] : table) {
    const std::string_view name = key.str();
    if (name == kCommentsKey) {
      reader.readComments(node, profile);
      continue;
    }
    if (name == kMuteMarksKey) {
      reader.readMuteMarks(node, profile);
      continue;
    }
    if (name == kMuteHoldKey) {
      reader.readMuteHolds(node, profile);
      continue;
    }
    if (name == kOutageGiveUpKey) {
      reader.readOutageGiveUp(node, profile);
      continue;
    }
    const auto& all = fields();
    const auto field =
        std::find_if(all.begin(), all.end(), [&](const Field& f) { return name == f.key; });
    if (field == all.end()) {
      reader.fail(
          key.source(),
          QStringLiteral("unknown key '%1'").arg(QString::fromStdString(std::string(name))));
      continue;
    }
    reader.readField(*field, node, profile);
  }
  load.errors = reader.errors();
  if (load.errors.isEmpty()) load.profile = profile;
  return load;
}

ProfileLoad loadSiteProfileFile(const QString& path) {
  QFile file(path);
  ProfileLoad load;
  if (!file.open(QIODevice::ReadOnly)) {
    load.errors << path + QLatin1String(": cannot be read: ") + file.errorString();
    return load;
  }
  if (file.size() > kMaxFileBytes) {
    load.errors << path +
                       QStringLiteral(": is larger than a site profile can be (%1 bytes at most)")
                           .arg(kMaxFileBytes);
    return load;
  }
  const QByteArray text = file.read(kMaxFileBytes + 1);
  if (file.error() != QFileDevice::NoError || text.size() > kMaxFileBytes) {
    load.errors << path + QLatin1String(": cannot be read: ") + file.errorString();
    return load;
  }
  return parseSiteProfile(text, path);
}

ProfileLoad loadSiteProfile(const QString& explicitPath, const QString& dataDir) {
  if (!explicitPath.isEmpty()) return loadSiteProfileFile(explicitPath);
  if (!dataDir.isEmpty()) {
    const QString inData = QDir(dataDir).filePath(QLatin1String(kProfileFileName));
    if (QFileInfo::exists(inData)) return loadSiteProfileFile(inData);
  }
  ProfileLoad builtIn;
  builtIn.profile = SiteProfile{};
  return builtIn;
}

QString defaultProfileToml() {
  return profileToml(SiteProfile{});
}

QString profileToml(const SiteProfile& profile) {
  QString out = QStringLiteral(
      "# Quillet site profile: what the program assumes about the share site's pages.\n"
      "# Save it as site.toml in the data folder, or pass it with --profile FILE.\n"
      "# Keys left out keep these built-in values; the site's address comes from --site.\n");
  for (const Field& field : fields()) {
    if (field.help != nullptr) out += u'\n' + commented(field.help);
    out += QLatin1String(field.key) + QLatin1String(" = ");
    if (field.texts != nullptr) {
      QStringList quoted;
      for (const QString& text : profile.*field.texts) quoted << tomlString(text);
      out += u'[' + quoted.join(QLatin1String(", ")) + u']';
    } else {
      out += field.text != nullptr ? tomlString(profile.*field.text)
                                   : QString::number(profile.*field.number);
    }
    out += u'\n';
  }

  out += u'\n' + commented(
                     "Holds. A share whose page shows one of these texts after the confirm means\n"
                     "the account shares too often: the pass holds, then tries the same address\n"
                     "again. Three failed shares in a row count the same.");
  out += QLatin1String(kMuteMarksKey) + QLatin1String(" = [");
  for (qsizetype i = 0; i < profile.muteMarks.size(); ++i) {
    out += (i == 0 ? QString() : QStringLiteral(", ")) + tomlString(profile.muteMarks[i]);
  }
  out += QLatin1String("]\n");
  out += u'\n' + commented(
                     "Minutes of each such hold in a row; the last one repeats, a success starts\n"
                     "over. Positive numbers, at least one.");
  out += QLatin1String(kMuteHoldKey) + QLatin1String(" = [");
  for (qsizetype i = 0; i < profile.muteHoldMinutes.size(); ++i) {
    out += (i == 0 ? QString() : QStringLiteral(", ")) + numberText(profile.muteHoldMinutes[i]);
  }
  out += QLatin1String("]\n");
  out += u'\n' + commented(
                     "When the site cannot be reached the pass holds and tries it again now and\n"
                     "then; after this many minutes it gives up and stops as interrupted.");
  out += QLatin1String(kOutageGiveUpKey) + QLatin1String(" = ") +
         numberText(profile.outageGiveUpMinutes) + u'\n';

  out += u'\n' + commented(
                     "The random comment: one of these texts, drawn with equal chances, followed\n"
                     "by a number from 0 to 9999. From 1 to 1000 texts.");
  out += QLatin1String(kCommentsKey) + QLatin1String(" = [\n");
  for (const QString& comment : profile.comments)
    out += QLatin1String("  ") + tomlString(comment) + QLatin1String(",\n");
  out += QLatin1String("]\n");
  return out;
}

}  // namespace quillet
