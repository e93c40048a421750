# Writes OUT, a C++ source that defines the character array NAME holding the
# text of IN (UTF-8), so that a data file kept in the repository is compiled
# into the program. Run as: cmake -DIN=... -DOUT=... -DNAME=... -P EmbedText.cmake
file(READ "${IN}" content)
string(FIND "${content}" ")vantaro\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} holds the raw string's closing sequence")
endif()
file(WRITE "${OUT}" "// Generated from ${IN}; edit that file instead.\nnamespace vantaro {\nextern const char ${NAME}[];\nconst char ${NAME}[] = R\"vantaro(${content})vantaro\";\n}  // namespace vantaro\n")
