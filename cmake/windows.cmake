# With mingw-w64, a Windows program that needs no runtime DLLs beside it.
if(WIN32 AND MINGW)
  target_link_options(sminatore PRIVATE -static)
endif()
