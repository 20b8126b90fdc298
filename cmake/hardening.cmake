# The hardening Debian builds its own packages with (dpkg-buildflags): glibc's
# checked string and memory functions (_FORTIFY_SOURCE, which only works with
# optimisation), stack canaries in every function with a local array or a
# local whose address is taken, and full RELRO (the relocations made
# read-only once the program is loaded, -z now binding every symbol up front
# so none is left writable for lazy binding). g++ here builds
# position-independent executables by default; nothing below changes that.
#
# Linux only: -z relro and -z now are ELF linker options, and brisk.exe
# already has ASLR and DEP from the MinGW linker's defaults.
option(BRISK_HARDENING "Build with the distribution's hardening flags (Linux)" ON)
if(BRISK_HARDENING AND NOT WIN32)
  # A packager who sets _FORTIFY_SOURCE (another level) keeps theirs.
  if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  endif()
  add_compile_options(-fstack-protector-strong)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
