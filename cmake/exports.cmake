# zv_add_dll(<name> <core static library> <def file> <dll it imports from>)
#
# Builds <name>.dll from a static library and a .def file.  The .def lists
# the i686 __stdcall names with their @N suffixes; linked with --kill-at
# they are exported undecorated.  For x86_64 (no decoration) a copy with
# the suffixes stripped is used.
#
# The MinGW import library that ld writes after --kill-at does not link for
# 32-bit consumers (they look for _imp__Name@N), so it is regenerated with
# dlltool; an MSVC-style import library is made with llvm-dlltool.

find_program(ZV_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 llvm-dlltool-15 llvm-dlltool-16)

function(zv_add_dll name core def imports)
  if(ZV_ARCH STREQUAL "i686")
    set(arch_def ${def})
  else()
    file(READ ${def} text)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    set(arch_def ${CMAKE_BINARY_DIR}/${name}.def)
    file(CONFIGURE OUTPUT ${arch_def} CONTENT "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})

  add_library(${name} SHARED ${arch_def})
  set_target_properties(${name} PROPERTIES PREFIX "" LINK_DEPENDS ${arch_def})
  target_link_libraries(${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${core}>" ${imports})
  if(ZV_ARCH STREQUAL "i686")
    target_link_options(${name} PRIVATE -Wl,--kill-at)
  endif()

  set(msvc_lib ${CMAKE_BINARY_DIR}/lib/${name}.lib)
  set(cmds COMMAND ${CMAKE_DLLTOOL} -d ${arch_def} -D ${name}.dll -k -l $<TARGET_LINKER_FILE:${name}>)
  if(ZV_LLVM_DLLTOOL)
    list(APPEND cmds COMMAND ${ZV_LLVM_DLLTOOL} -m ${ZV_LLVM_MACHINE} -d ${arch_def} -D ${name}.dll -k -l ${msvc_lib})
    set_property(GLOBAL APPEND PROPERTY ZV_IMPORT_LIBS ${msvc_lib})
  endif()
  add_custom_command(TARGET ${name} POST_BUILD ${cmds} VERBATIM)
  set_property(GLOBAL APPEND PROPERTY ZV_IMPORT_LIBS $<TARGET_LINKER_FILE:${name}>)
  get_property(libs GLOBAL PROPERTY ZV_IMPORT_LIBS)
  set(ZV_IMPORT_LIBS ${libs} PARENT_SCOPE)
endfunction()
