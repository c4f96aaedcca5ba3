#include "browser/page_scripts.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quillet::page_scripts {

namespace {

// Shared by every script that works on collected state: `s` is the state of the shown
// document, or the script returns null when the document has changed since `a.doc` was handed
// out. The helpers below are plain function declarations, local to each invocation.
constexpr const char* kPrelude = R"JS(
const s = globalThis.quilletState;
if (!s || s.doc !== document || s.token !== a.doc) return null;
function collection(page, name) {
  const c = s.pages[page];
  if (!c || typeof name !== 'string' || !Object.prototype.hasOwnProperty.call(c, name)) return null;
  return c[name];
}
function elementAt(page, name, pos) {
  const list = collection(page, name);
  if (!list || !Number.isInteger(pos) || pos < 1 || pos > list.length) return null;
  return list[pos - 1];
}
function byKey(key, mode) {
  if (typeof key !== 'string' || key === '') return null;
  if (mode === 1) {
    const named = document.getElementsByName(key);
    return named.length > 0 ? named[0] : null;
  }
  return document.getElementById(key);
}
function click(el) {
  if (!el || typeof el.click !== 'function') return false;
  try { el.click(); } catch (e) {}
  return true;
}
function readProperty(el, name) {
  if (!el || typeof name !== 'string') return null;
  const v = el[name];
  return v === undefined || v === null ? null : String(v);
}
)JS";

QString invoke(const char* body, const QJsonObject& args, bool checked = true) {
  QString script = QStringLiteral("(function(a){'use strict';");
  if (checked) script += QString::fromUtf8(kPrelude);
  script += QString::fromUtf8(body);
  script += QStringLiteral("})(");
  script += QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact));
  script += QStringLiteral(")");
  return script;
}

// The element that clickLinkByKey() clicks and describeLinkByKey() describes: modes 0 id,
// 1 name, 2 link number, 3 link text, 4 link address (exact or containing, ignoring case).
constexpr const char* kFindLinkByKey = R"JS(
function findLinkByKey() {
  const key = a.key;
  if (typeof key !== 'string' || key === '') return null;
  const links = () => Array.from(document.getElementsByTagName('a'));
  const matches = (value) => {
    const v = value === undefined || value === null ? '' : String(value);
    return a.exact ? v === key : v.toLowerCase().includes(key.toLowerCase());
  };
  switch (a.mode) {
    case 0: return byKey(key, 0);
    case 1: return byKey(key, 1);
    case 2: {
      const n = parseInt(key, 10);
      const all = links();
      return Number.isInteger(n) && n >= 1 && n <= all.length ? all[n - 1] : null;
    }
    case 3: return links().find((l) => matches(l.innerText)) || null;
    case 4: return links().find((l) => matches(l.href)) || null;
    default: return null;
  }
}
)JS";

QString invoke(const char* helper, const char* body, const QString& doc, const QString& key,
               int mode, bool exact) {
  const QString joined = QString::fromUtf8(helper) + QString::fromUtf8(body);
  return invoke(joined.toUtf8().constData(), {{QStringLiteral("doc"), doc},
                                              {QStringLiteral("key"), key},
                                              {QStringLiteral("mode"), mode},
                                              {QStringLiteral("exact"), exact}});
}

}  // namespace

QString documentToken(const QString& candidate) {
  return invoke(R"JS(
let st = globalThis.quilletState;
if (!st || st.doc !== document) {
  st = { doc: document, token: a.candidate, pages: Object.create(null), elements: new Map(),
         owners: Object.create(null), nextHandle: 1 };
  globalThis.quilletState = st;
}
return st.token;
)JS",
                {{QStringLiteral("candidate"), candidate}}, false);
}

QString isCurrentDocument(const QString& doc) {
  return invoke("return true;", {{QStringLiteral("doc"), doc}});
}

QString readyState() {
  return invoke("return String(document.readyState);", {}, false);
}

QString refreshCollections(const QString& doc, const QString& pageId) {
  return invoke(R"JS(
const body = document.body;
if (!body) return false;
let c = s.pages[a.page];
if (!c) {
  c = Object.create(null);
  for (const name of ['divs', 'buttons', 'tables', 'radios', 'checkboxes', 'textBoxes',
                      'selects', 'links', 'hiddens', 'textAreas', 'images', 'forms', 'spans',
                      'listItems', 'frames']) {
    c[name] = [];
  }
  s.pages[a.page] = c;
}
for (const el of body.getElementsByTagName('input')) {
  switch (String(el.type).toLowerCase()) {
    case 'button': case 'submit': case 'reset': c.buttons.push(el); break;
    case 'radio': c.radios.push(el); break;
    case 'checkbox': c.checkboxes.push(el); break;
    case 'text': case 'password': case 'file': c.textBoxes.push(el); break;
    case 'hidden': c.hiddens.push(el); break;
    case 'image': c.images.push(el); break;
    default: break;
  }
}
for (let i = 0; i < window.frames.length; i++) c.frames.push(window.frames[i]);
for (const [tag, name] of [['table', 'tables'], ['select', 'selects'], ['textarea', 'textAreas'],
                           ['a', 'links'], ['div', 'divs'], ['form', 'forms'],
                           ['image', 'images'], ['img', 'images'], ['button', 'buttons'],
                           ['SPAN', 'spans'], ['li', 'listItems']]) {
  for (const el of body.getElementsByTagName(tag)) c[name].push(el);
}
return true;
)JS",
                {{QStringLiteral("doc"), doc}, {QStringLiteral("page"), pageId}});
}

QString clearCollections(const QString& doc, const QString& pageId) {
  return invoke("delete s.pages[a.page]; return true;",
                {{QStringLiteral("doc"), doc}, {QStringLiteral("page"), pageId}});
}

QString collectionCount(const QString& doc, const QString& pageId, const QString& collection) {
  return invoke("const list = collection(a.page, a.name); return list ? list.length : 0;",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("page"), pageId},
                 {QStringLiteral("name"), collection}});
}

QString clickInCollection(const QString& doc, const QString& pageId, const QString& collection,
                          int position) {
  return invoke("return click(elementAt(a.page, a.name, a.pos));",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("page"), pageId},
                 {QStringLiteral("name"), collection},
                 {QStringLiteral("pos"), position}});
}

QString setValueInCollection(const QString& doc, const QString& pageId, const QString& collection,
                             int position, const QString& value) {
  return invoke(R"JS(
const el = elementAt(a.page, a.name, a.pos);
if (!el) return false;
el.value = a.value;
return true;
)JS",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("page"), pageId},
                 {QStringLiteral("name"), collection},
                 {QStringLiteral("pos"), position},
                 {QStringLiteral("value"), value}});
}

QString propertyInCollection(const QString& doc, const QString& pageId, const QString& collection,
                             int position, const QString& property) {
  return invoke("return readProperty(elementAt(a.page, a.name, a.pos), a.prop);",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("page"), pageId},
                 {QStringLiteral("name"), collection},
                 {QStringLiteral("pos"), position},
                 {QStringLiteral("prop"), property}});
}

QString highlightText(const QString& doc, const QString& text) {
  // The body's visible text is read from its text nodes as a reader sees it: white-space runs
  // count as one space, a line break or a change of block starts a new line (so a match never
  // joins two paragraphs), and case is ignored. Each character remembers the text node and
  // offset it came from, so a match that crosses element boundaries is wrapped piece by piece
  // in its text nodes, without moving any element of the page.
  return invoke(R"JS(
const body = document.body;
if (!body || typeof a.text !== 'string') return 0;
const XHTML = 'http://www.w3.org/1999/xhtml';
const SKIPPED = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'TEXTAREA', 'TITLE',
                         'SELECT', 'OPTION', 'OPTGROUP', 'IFRAME', 'OBJECT']);
const isSpace = (ch) => ch === ' ' || ch === '\t' || ch === '\n' || ch === '\r' || ch === '\f';
const fold = (ch) => {
  if (ch === '\u00a0') return ' ';
  const lower = ch.toLowerCase();
  return lower.length === 1 ? lower : ch;
};
let needle = '';
let pendingSpace = false;
for (const ch of a.text.split('')) {
  if (isSpace(ch)) { if (!pendingSpace) needle += ' '; pendingSpace = true; }
  else { needle += fold(ch); pendingSpace = false; }
}
if (needle === '') return 0;

const styles = new Map();
const styleOf = (el) => {
  let st = styles.get(el);
  if (!st) { st = getComputedStyle(el); styles.set(el, st); }
  return st;
};
const visible = (el) => el.getClientRects().length > 0 && styleOf(el).visibility !== 'hidden';
const blockOf = (el) => {
  let e = el;
  while (e !== body && e.parentElement) {
    const d = styleOf(e).display;
    if (d !== 'inline' && d !== 'contents') return e;
    e = e.parentElement;
  }
  return body;
};

const nodes = [];
const hay = [];
const mapNode = [];
const mapOffset = [];
let lastSpace = true;
let lastBlock = null;
const breakLine = () => { hay.push('\n'); mapNode.push(-1); mapOffset.push(0); lastSpace = true; };
const walker = document.createTreeWalker(body, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, {
  acceptNode(n) {
    if (n.nodeType === Node.ELEMENT_NODE &&
        (n.namespaceURI !== XHTML || SKIPPED.has(n.tagName))) {
      return NodeFilter.FILTER_REJECT;
    }
    return NodeFilter.FILTER_ACCEPT;
  }
});
for (let n = walker.nextNode(); n; n = walker.nextNode()) {
  if (n.nodeType === Node.ELEMENT_NODE) {
    if (n.tagName === 'BR') breakLine();
    continue;
  }
  const parent = n.parentElement;
  if (!parent || !visible(parent)) continue;
  const block = blockOf(parent);
  if (lastBlock !== null && block !== lastBlock) breakLine();
  lastBlock = block;
  const index = nodes.length;
  nodes.push(n);
  const data = n.data;
  for (let i = 0; i < data.length; i++) {
    const ch = data[i];
    if (isSpace(ch)) {
      if (lastSpace) continue;
      hay.push(' ');
      lastSpace = true;
    } else {
      hay.push(fold(ch));
      lastSpace = false;
    }
    mapNode.push(index);
    mapOffset.push(i);
  }
}

const haystack = hay.join('');
const pieces = [];
let found = 0;
for (let at = haystack.indexOf(needle); at !== -1;
     at = haystack.indexOf(needle, at + needle.length)) {
  found++;
  let current = null;
  for (let k = at; k < at + needle.length; k++) {
    const node = mapNode[k];
    if (node < 0) continue;
    if (current && current.node === node) {
      current.end = mapOffset[k] + 1;
    } else {
      current = { node, start: mapOffset[k], end: mapOffset[k] + 1 };
      pieces.push(current);
    }
  }
}
// Later pieces first: splitting a text node keeps the offsets of its earlier pieces valid.
for (let p = pieces.length - 1; p >= 0; p--) {
  const { node, start, end } = pieces[p];
  const textNode = nodes[node];
  const piece = start > 0 ? textNode.splitText(start) : textNode;
  if (end - start < piece.data.length) piece.splitText(end - start);
  const mark = document.createElement('b');
  mark.setAttribute('style', 'color:#ffff66;background-color:#ff0000');
  piece.parentNode.insertBefore(mark, piece);
  mark.appendChild(piece);
}
return found;
)JS",
                {{QStringLiteral("doc"), doc}, {QStringLiteral("text"), text}});
}

QString elementByKey(const QString& doc, const QString& pageId, const QString& key, int mode) {
  return invoke(R"JS(
const el = byKey(a.key, a.mode);
if (!el) return 0;
const handle = s.nextHandle++;
s.elements.set(handle, el);
const owned = s.owners[a.page] || (s.owners[a.page] = []);
owned.push(handle);
return handle;
)JS",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("page"), pageId},
                 {QStringLiteral("key"), key},
                 {QStringLiteral("mode"), mode}});
}

QString releaseElements(const QString& doc, const QString& pageId) {
  return invoke(R"JS(
const owned = s.owners[a.page];
if (!owned) return 0;
for (const handle of owned) s.elements.delete(handle);
delete s.owners[a.page];
return owned.length;
)JS",
                {{QStringLiteral("doc"), doc}, {QStringLiteral("page"), pageId}});
}

QString clickLinkByKey(const QString& doc, const QString& key, int mode, bool exact) {
  return invoke(kFindLinkByKey, "return click(findLinkByKey());", doc, key, mode, exact);
}

QString describeLinkByKey(const QString& doc, const QString& key, int mode, bool exact) {
  return invoke(kFindLinkByKey, R"JS(
const el = findLinkByKey();
if (!el) return null;
const text = typeof el.innerText === 'string' ? el.innerText : (el.textContent || '');
return [text, typeof el.href === 'string' ? el.href : ''];
)JS",
                doc, key, mode, exact);
}

QString setValueByKey(const QString& doc, const QString& key, int mode, const QString& value) {
  return invoke(R"JS(
const el = byKey(a.key, a.mode);
if (!el) return false;
el.value = a.value;
return true;
)JS",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("key"), key},
                 {QStringLiteral("mode"), mode},
                 {QStringLiteral("value"), value}});
}

QString clickElement(const QString& doc, int handle) {
  return invoke("return click(s.elements.get(a.handle));",
                {{QStringLiteral("doc"), doc}, {QStringLiteral("handle"), handle}});
}

QString setElementValue(const QString& doc, int handle, const QString& value) {
  return invoke(R"JS(
const el = s.elements.get(a.handle);
if (!el) return false;
el.value = a.value;
return true;
)JS",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("handle"), handle},
                 {QStringLiteral("value"), value}});
}

QString elementProperty(const QString& doc, int handle, const QString& property) {
  return invoke("return readProperty(s.elements.get(a.handle), a.prop);",
                {{QStringLiteral("doc"), doc},
                 {QStringLiteral("handle"), handle},
                 {QStringLiteral("prop"), property}});
}

}  // namespace quillet::page_scripts
