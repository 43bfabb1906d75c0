// SPDX-License-Identifier: MIT
// The page a host serves to browsers: one self-contained HTML document, its
// style and script inline, that joins the game over a WebSocket at /play of
// the page's own address. Its one <style> and one <script> carry the nonce
// attribute with webPageNoncePlaceholder as its value; a server puts a fresh
// random nonce in its place for each response and names the same nonce in
// the response's Content-Security-Policy, which allows nothing else.
#pragma once

#include <string_view>

namespace web {

constexpr std::string_view webPageNoncePlaceholder = "{{NONCE}}";

// The page, built from page.html, page.css and page.js; UTF-8.
std::string_view webPage();

} // namespace web
