// SPDX-License-Identifier: MIT
// Writes the page as the program holds it to standard output, for the
// browser test's stand-in host to serve.
#include <cstdio>

#include "web/page.hpp"

int main() {
    std::string_view page = web::webPage();
    return std::fwrite(page.data(), 1, page.size(), stdout) == page.size() ? 0 : 1;
}
