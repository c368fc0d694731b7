# Makes the monitor's page into a C++ source, run as a build step:
#   cmake -DPAGE=<page.html> -DLIBRARY_DIR=<dygraphs folder> -DOUTPUT=<file.cpp> -P EmbedMonitorPage.cmake
# Every <script src="NAME"></script> and <link rel="stylesheet" href="NAME">
# of the page is replaced by NAME's contents, taken from the page's folder or
# else from LIBRARY_DIR, so that the served page needs nothing else. The
# result is written beside OUTPUT (.html, to look at) and as a char array in
# OUTPUT, which defines tessary::monitor::MonitorPageHtml().
foreach(var PAGE LIBRARY_DIR OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedMonitorPage: ${var} not given")
  endif()
endforeach()
get_filename_component(page_dir "${PAGE}" DIRECTORY)
file(READ "${PAGE}" page)

function(find_part name out)
  if(EXISTS "${page_dir}/${name}")
    set(${out} "${page_dir}/${name}" PARENT_SCOPE)
  elseif(EXISTS "${LIBRARY_DIR}/${name}")
    set(${out} "${LIBRARY_DIR}/${name}" PARENT_SCOPE)
  else()
    message(FATAL_ERROR "EmbedMonitorPage: ${name}, named by ${PAGE}, is neither beside it nor in ${LIBRARY_DIR}")
  endif()
endfunction()

# Reads a part to inline in an element whose end tag is `end`: the part must
# not hold that tag (in any case), or the browser would end the element there.
# A source map comment goes: the map is not served.
function(read_part path end out)
  file(READ "${path}" text)
  string(REGEX REPLACE "\n?(//|/\\*)# sourceMappingURL=[^\n]*" "" text "${text}")
  string(TOLOWER "${text}" lower)
  string(FIND "${lower}" "${end}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "EmbedMonitorPage: ${path} holds '${end}' and cannot be inlined")
  endif()
  string(FIND "${lower}" "<!--" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "EmbedMonitorPage: ${path} holds '<!--' and cannot be inlined")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(REGEX MATCHALL "<script src=\"[^\"]+\"></script>" scripts "${page}")
foreach(tag IN LISTS scripts)
  string(REGEX REPLACE "<script src=\"([^\"]+)\"></script>" "\\1" name "${tag}")
  find_part("${name}" path)
  read_part("${path}" "</script" text)
  string(REPLACE "${tag}" "<script>\n${text}\n</script>" page "${page}")
endforeach()

string(REGEX MATCHALL "<link rel=\"stylesheet\" href=\"[^\"]+\">" styles "${page}")
foreach(tag IN LISTS styles)
  string(REGEX REPLACE "<link rel=\"stylesheet\" href=\"([^\"]+)\">" "\\1" name "${tag}")
  find_part("${name}" path)
  read_part("${path}" "</style" text)
  string(REPLACE "${tag}" "<style>\n${text}\n</style>" page "${page}")
endforeach()

# Nothing may be left that the browser would fetch from elsewhere.
if(page MATCHES "<script [^>]*src=|<link [^>]*rel=\"stylesheet\"|(src|href)=\"(https?:)?//|url\\((https?:)?//")
  message(FATAL_ERROR "EmbedMonitorPage: ${PAGE} still loads something from outside: '${CMAKE_MATCH_0}'")
endif()

# Bytes as character literals: exact whatever the page holds, and no
# delimiter to clash with.
get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
get_filename_component(out_name "${OUTPUT}" NAME_WE)
set(html "${out_dir}/${out_name}.html")
file(WRITE "${html}" "${page}")
file(READ "${html}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR bytes "${digits} / 2")
string(REGEX REPLACE "(................................................................)" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," hex "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Made at build time from ${PAGE} by EmbedMonitorPage.cmake: do not edit.
#include \"MonitorPage.h\"

namespace tessary::monitor {
namespace {

const char kPage[${bytes}] = {
${hex}};

}  // namespace

std::string_view MonitorPageHtml() { return {kPage, sizeof kPage}; }

}  // namespace tessary::monitor
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
