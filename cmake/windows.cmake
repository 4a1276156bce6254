# The Windows build: the key translation beside the console layer, and with mingw-w64 a program
# that needs no runtime DLLs beside it.
if(WIN32)
  target_sources(sminatore_terminal PRIVATE ${PROJECT_SOURCE_DIR}/console/windows_keys.cpp)
  if(MINGW)
    target_link_options(sminatore PRIVATE -static)
  endif()
endif()
