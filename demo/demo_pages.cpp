#include "demo/demo_pages.h"

#include "demo/item_address.h"

namespace quillet {
namespace {

constexpr std::string_view kStyle = R"(
body { font-family: sans-serif; margin: 0; background: #f6f4ef; color: #222; }
.top { background: #c8402e; color: #fff; padding: 8px 16px; }
.top a { color: #fff; margin-right: 12px; }
.top form { display: inline; margin-left: 24px; }
.brand { font-weight: bold; margin-right: 16px; }
.box { background: #fff; margin: 16px; padding: 12px 16px; border: 1px solid #ddd; }
.notice { color: #c8402e; font-weight: bold; }
.dialog { background: #fff; margin: 16px; padding: 12px 16px; border: 2px solid #c8402e; }
img.captcha { vertical-align: middle; cursor: pointer; }
)";

std::string frame(std::string_view title, std::string_view body, std::string_view tail) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
      "<title>";
  page += title;
  page += " - 分享站</title><style>";
  page += kStyle;
  page += "</style></head>\n<body>\n";
  page += body;
  page += tail;
  page += "\n</body></html>\n";
  return page;
}

constexpr std::string_view kSearchForm =
    "<form class=\"search\" action=\"/search\" method=\"get\">"
    "<input type=\"text\" name=\"q\" placeholder=\"搜索宝贝\"> "
    "<input type=\"submit\" value=\"搜索\"></form>";

std::string signedInTop() {
  std::string top =
      "<div class=\"top\"><a href=\"/logon\">首页</a><a href=\"/share\">我的分享</a>"
      "<a href=\"/users/logout\">退出</a>";
  top += kSearchForm;
  top += "</div>\n";
  return top;
}

constexpr std::string_view kItemNames[] = {"纯棉T恤",  "帆布鞋",   "双肩包",   "保温杯",
                                           "针织围巾", "蓝牙耳机", "陶瓷茶具", "羊毛袜"};

}  // namespace

std::string htmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string itemTitle(int id) {
  const auto name = kItemNames[static_cast<std::size_t>(id) % std::size(kItemNames)];
  return std::string(name) + " No." + std::to_string(id);
}

std::string loginPage(std::string_view notice, std::string_view tail, bool inertButton) {
  std::string body = "<div class=\"top\"><span class=\"brand\">分享站</span>";
  body += kSearchForm;
  body += "</div>\n<div class=\"box\"><h2>会员登录</h2>\n";
  if (!notice.empty()) {
    body += "<p class=\"notice\">" + htmlEscaped(notice) + "</p>\n";
  }
  body +=
      "<form method=\"post\" action=\"/logon\">\n"
      "<p><label>用户名 <input type=\"text\" name=\"username\"></label></p>\n"
      "<p><label>密　码 <input type=\"password\" name=\"password\"></label></p>\n"
      "<p><label>验证码 <input type=\"text\" name=\"checkcode\" size=\"6\" "
      "autocomplete=\"off\"></label> "
      "<img class=\"captcha\" src=\"/css/checkCode.php?\" width=\"80\" height=\"24\" alt=\"\" "
      "title=\"看不清？点一下换一张\" onclick=\"this.src='/css/checkCode.php?'+Date.now()\"></p>\n"
      "<p><input type=\"";
  body += inertButton ? "button" : "submit";
  body +=
      "\" value=\"登录\"></p>\n"
      "</form></div>\n";
  return frame("会员登录", body, tail);
}

std::string startPage(std::string_view user, int port, std::string_view tail) {
  std::string body = signedInTop();
  body += "<div class=\"box\"><h2>你好，" + htmlEscaped(user) + "</h2>\n";
  body += "<p>今天想分享哪件宝贝？</p>\n<h3>热门宝贝</h3>\n<ul>\n";
  for (int id : {1, 2, 3, 42, 1024}) {
    body += "<li><a href=\"" + itemAddress(port, id) + "\">" + htmlEscaped(itemTitle(id)) +
            "</a></li>\n";
  }
  body += "</ul></div>\n";
  return frame("首页", body, tail);
}

namespace {

std::string sharePageWith(std::string_view user, int sharesMade, std::string_view opener,
                          std::string_view tail) {
  std::string body = signedInTop();
  body += "<div class=\"box\"><h2>" + htmlEscaped(user) + " 的分享</h2>\n";
  body += "<p>已分享 " + std::to_string(sharesMade) + " 件宝贝。</p>\n";
  body += "<p>";
  body += opener;
  body += "</p></div>\n<script src=\"/js/share.js\"></script>\n";
  return frame("我的分享", body, tail);
}

}  // namespace

std::string sharePage(std::string_view user, int sharesMade, std::string_view tail) {
  return sharePageWith(user, sharesMade, "<a href=\"#share\" id=\"open-share\">分享宝贝</a>", tail);
}

std::string movedSharePage(std::string_view user, int sharesMade, std::string_view tail) {
  return sharePageWith(user, sharesMade,
                       "<a href=\"#share\" id=\"open-share\" data-layout=\"moved\">转发宝贝</a>",
                       tail);
}

std::string signedOutPage(std::string_view tail) {
  return frame("退出",
               "<div class=\"top\"><span class=\"brand\">分享站</span></div>\n"
               "<div class=\"box\"><h2>你已退出</h2><p><a href=\"/logon\">重新登录</a></p></div>\n",
               tail);
}

std::string itemPage(int id, std::string_view tail) {
  const std::string title = htmlEscaped(itemTitle(id));
  std::string body = "<div class=\"top\"><a href=\"/logon\">首页</a></div>\n<div class=\"box\">";
  body += "<h2>" + title + "</h2><p>价格：" + std::to_string(19 + id % 200) + " 元</p>";
  body += "<p>宝贝编号 " + std::to_string(id) + "</p></div>\n";
  return frame(title, body, tail);
}

std::string searchPage(std::string_view query, int port, std::string_view tail) {
  std::string body = "<div class=\"top\"><a href=\"/logon\">首页</a>";
  body += kSearchForm;
  body += "</div>\n<div class=\"box\"><h2>搜索：" + htmlEscaped(query) + "</h2>\n";
  const auto id = parseItemId(query);
  if (id) {
    body +=
        "<p><a href=\"" + itemAddress(port, *id) + "\">" + htmlEscaped(itemTitle(*id)) + "</a></p>";
  } else {
    body += "<p>没有找到相关宝贝。</p>";
  }
  body += "</div>\n";
  return frame("搜索", body, tail);
}

std::string notFoundPage() {
  return frame("找不到页面",
               "<div class=\"box\"><h2>找不到页面</h2><p><a href=\"/logon\">回到首页</a></p></div>",
               {});
}

std::string_view shareScript() {
  return R"JS((function () {
  'use strict';
  var opener = document.getElementById('open-share');
  if (!opener) { return; }
  var parts = null;
  var round = 0;

  function make(tag, attributes, text) {
    var node = document.createElement(tag);
    Object.keys(attributes || {}).forEach(function (key) {
      node.setAttribute(key, attributes[key]);
    });
    if (text) { node.textContent = text; }
    return node;
  }

  function empty(node) {
    while (node.firstChild) { node.removeChild(node.firstChild); }
  }

  function post(path, fields) {
    return fetch(path, {
      method: 'POST',
      credentials: 'same-origin',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded;charset=UTF-8' },
      body: new URLSearchParams(fields).toString()
    }).then(function (response) {
      if (!response.ok) { throw new Error('HTTP ' + response.status); }
      return response.json();
    });
  }

  // A new round starts with every submit; answers of older rounds are ignored,
  // so a late answer never overwrites what a newer address brought.
  function resetOutcome() {
    round += 1;
    empty(parts.notice);
    empty(parts.step);
    empty(parts.result);
    return round;
  }

  function showShareStep(answer, mine) {
    parts.step.appendChild(make('p', {}, '宝贝：' + answer.title));
    var comment = make('textarea', { name: 'forwardContent', rows: '3', cols: '40' });
    var confirm = make('input', { type: 'button', name: 'forwardMaga', value: '分享' });
    parts.step.appendChild(comment);
    parts.step.appendChild(make('br'));
    parts.step.appendChild(confirm);
    confirm.addEventListener('click', function () {
      if (confirm.disabled || mine !== round) { return; }
      confirm.disabled = true;
      post('/share/confirm', { token: answer.token, comment: comment.value }).then(function (outcome) {
        if (mine === round) { parts.result.textContent = outcome.message; }
      }, function () {
        if (mine === round) { parts.result.textContent = '网络繁忙，分享未完成'; }
      });
    });
  }

  function build() {
    var dialog = make('div', { id: 'share-dialog', 'class': 'dialog' });
    dialog.appendChild(make('h3', {}, '分享到我的主页'));
    var line = make('p');
    if (opener.getAttribute('data-layout') === 'moved') {
      // The moved layout: a tag box and a button that empties the address
      // come before the address box and its button.
      var tags = make('p');
      tags.appendChild(make('label', { 'for': 'share-tag' }, '标签：'));
      tags.appendChild(make('input', { type: 'text', id: 'share-tag', name: 'tag', size: '20' }));
      var clear = make('input', { type: 'button', id: 'share-clear', value: '清空链接' });
      tags.appendChild(clear);
      dialog.appendChild(tags);
      clear.addEventListener('click', function () { address.value = ''; });
    }
    line.appendChild(make('label', { 'for': 'share-url' }, '宝贝链接：'));
    var address = make('input', { type: 'text', id: 'share-url', name: 'itemUrl', size: '48' });
    var submit = make('input', { type: 'button', id: 'share-submit', value: '确定' });
    line.appendChild(address);
    line.appendChild(submit);
    dialog.appendChild(line);
    var notice = make('p', { id: 'share-notice', 'class': 'notice' });
    var step = make('div', { id: 'share-step' });
    var result = make('p', { id: 'share-result', 'class': 'notice' });
    var close = make('button', { type: 'button', id: 'share-close' }, '关闭');
    dialog.appendChild(notice);
    dialog.appendChild(step);
    dialog.appendChild(result);
    dialog.appendChild(close);
    document.body.appendChild(dialog);

    submit.addEventListener('click', function () {
      var mine = resetOutcome();
      post('/share/check', { url: address.value }).then(function (answer) {
        if (mine !== round) { return; }
        if (answer.ok) {
          showShareStep(answer, mine);
        } else {
          parts.notice.textContent = answer.message;
        }
      }, function () {
        if (mine === round) { parts.notice.textContent = '网络繁忙，请稍后再试'; }
      });
    });
    close.addEventListener('click', function () {
      resetOutcome();
      dialog.hidden = true;
    });
    return { dialog: dialog, address: address, notice: notice, step: step, result: result };
  }

  opener.addEventListener('click', function (event) {
    event.preventDefault();
    if (!parts) { parts = build(); }
    resetOutcome();
    parts.address.value = '';
    parts.dialog.hidden = false;
    parts.address.focus();
  });
})();
)JS";
}

}  // namespace quillet
