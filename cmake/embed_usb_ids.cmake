# Writes OUTPUT, a C++ source holding the text of INPUT (a usb.ids file) as raw string
# literals of about 60 kB each, cut at line ends so no UTF-8 character is split.
file(READ "${INPUT}" text)
set(delimiter "qzusbids")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw string delimiter ${delimiter}")
endif()
set(body "")
string(LENGTH "${text}" remaining)
while(remaining GREATER 0)
  string(SUBSTRING "${text}" 0 60000 chunk)
  string(LENGTH "${chunk}" size)
  if(size LESS remaining)
    string(FIND "${chunk}" "\n" last_newline REVERSE)
    if(last_newline GREATER -1)
      math(EXPR size "${last_newline} + 1")
      string(SUBSTRING "${chunk}" 0 ${size} chunk)
    endif()
  endif()
  string(APPEND body "R\"${delimiter}(${chunk})${delimiter}\"\n")
  string(SUBSTRING "${text}" ${size} -1 text)
  math(EXPR remaining "${remaining} - ${size}")
endwhile()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by cmake/embed_usb_ids.cmake; do not edit.\n"
  "#include \"qzusbids/embedded_text.h\"\n\n"
  "namespace qzusbids {\n\n"
  "const char kEmbeddedUsbIdsText[] =\n${body};\n"
  "const std::size_t kEmbeddedUsbIdsSize = sizeof(kEmbeddedUsbIdsText) - 1;\n\n"
  "}  // namespace qzusbids\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
