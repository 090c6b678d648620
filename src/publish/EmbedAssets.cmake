# Writes OUTPUT, a C++ source that holds SCRIPT and STYLE (the codebook
# site's files) as string constants: cmake -DOUTPUT=... -DSCRIPT=... -DSTYLE=... -P
file(READ ${SCRIPT} script)
file(READ ${STYLE} style)
foreach(text IN ITEMS script style)
  string(FIND "${${text}}" ")QAVN_ASSET" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${text} holds the text )QAVN_ASSET, which would end its string")
  endif()
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from src/publish/site at build time: edit the files there.\n"
  "#include \"publish/SiteAssets.h\"\n\nnamespace qavn {\n\n"
  "const std::string_view siteScript = R\"QAVN_ASSET(${script})QAVN_ASSET\";\n\n"
  "const std::string_view siteStyle = R\"QAVN_ASSET(${style})QAVN_ASSET\";\n\n"
  "} // namespace qavn\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
