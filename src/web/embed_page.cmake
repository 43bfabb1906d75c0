# SPDX-License-Identifier: MIT
# Puts page.css and page.js into page.html, where @PAGE_CSS@ and @PAGE_JS@
# stand, and icon.svg as the data: URI of its icon where @PAGE_ICON@ does
# (so that a browser need not ask the host for one), and writes the page as a C++ array of
# characters into PAGE_CPP from page.cpp.in: every byte a character literal
# of its hex escape, so that nothing the page holds can mean anything else
# to the compiler, and no string literal passes the 64 KiB that compilers
# need not take.

# split(TEXT MARKER BEFORE AFTER): TEXT on either side of MARKER's first place.
function(split text marker before after)
    string(FIND "${text}" "${marker}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "page.html has no ${marker}")
    endif()
    string(LENGTH "${marker}" length)
    math(EXPR rest "${at} + ${length}")
    string(SUBSTRING "${text}" 0 ${at} head)
    string(SUBSTRING "${text}" ${rest} -1 tail)
    set(${before} "${head}" PARENT_SCOPE)
    set(${after} "${tail}" PARENT_SCOPE)
endfunction()

# embed_page(SOURCE_DIR PAGE_CPP)
function(embed_page dir out)
    file(READ ${dir}/page.html page)
    file(READ ${dir}/page.css css)
    file(READ ${dir}/page.js js)
    # Inline, the style ends at the first "</style" and the script at the
    # first "</script", whatever they are inside.
    string(TOLOWER "${css}" lowerCss)
    string(TOLOWER "${js}" lowerJs)
    string(FIND "${lowerCss}" "</style" inCss)
    string(FIND "${lowerJs}" "</script" inJs)
    if(NOT inCss EQUAL -1 OR NOT inJs EQUAL -1)
        message(FATAL_ERROR "page.css or page.js holds the tag that would end it inline")
    endif()
    file(READ ${dir}/icon.svg icon)
    # In a URI: its lines joined, and what a URI or the attribute would read
    # as its own escaped.
    string(REPLACE "\n" "" icon "${icon}")
    foreach(pair "%;%25" "#;%23" "<;%3C" ">;%3E" "\";%22" " ;%20" ":;%3A" "/;%2F")
        list(GET pair 0 from)
        list(GET pair 1 to)
        string(REPLACE "${from}" "${to}" icon "${icon}")
    endforeach()
    split("${page}" "@PAGE_ICON@" start page)
    set(page "${start}${icon}${page}")
    split("${page}" "@PAGE_CSS@" head rest)
    split("${rest}" "@PAGE_JS@" middle tail)
    string(HEX "${head}${css}${middle}${js}${tail}" hex)
    string(LENGTH "${hex}" length)
    set(PAGE_BYTES "")
    set(lineHex 32) # sixteen bytes a line
    foreach(at RANGE 0 ${length} ${lineHex})
        if(at LESS length)
            string(SUBSTRING "${hex}" ${at} ${lineHex} piece)
            string(REGEX REPLACE "(..)" "'\\\\x\\1'," piece "${piece}")
            string(APPEND PAGE_BYTES "\n    ${piece}")
        endif()
    endforeach()
    configure_file(${dir}/page.cpp.in ${out} @ONLY)
endfunction()
