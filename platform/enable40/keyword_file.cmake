# Writes every word of the keyword table (keywords.inc) into the keyword
# file, one a line.
file(STRINGS ${INPUT} lines REGEX "^(RESERVED|CONTEXTUAL)\\(")
set(words "")
foreach(line ${lines})
  string(REGEX REPLACE "^[A-Z]+\\(([A-Za-z]+)\\).*" "\\1" word "${line}")
  string(APPEND words "${word}\n")
endforeach()
file(WRITE ${OUTPUT} "${words}")
