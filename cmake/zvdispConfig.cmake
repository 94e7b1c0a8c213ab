# find_package(zvdisp CONFIG): the imported targets zvdisp::zvdisp (the
# display library; it brings zvdisp::zvkern along) and zvdisp::zvkern (the
# kernel).  Both are DLLs in bin/ with their import libraries in lib/:
# MinGW's (libzv*.dll.a) for GCC and Clang, MSVC-style (zv*.lib) for MSVC
# or when ZVDISP_MSVC_IMPORT_LIBS is set.  Headers in include/.
get_filename_component(_zvdisp_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

foreach(_zvdisp_name zvkern zvdisp)
  if(NOT TARGET zvdisp::${_zvdisp_name})
    if(MSVC OR ZVDISP_MSVC_IMPORT_LIBS)
      set(_zvdisp_implib "${_zvdisp_prefix}/lib/${_zvdisp_name}.lib")
    else()
      set(_zvdisp_implib "${_zvdisp_prefix}/lib/lib${_zvdisp_name}.dll.a")
    endif()
    add_library(zvdisp::${_zvdisp_name} SHARED IMPORTED)
    set_target_properties(zvdisp::${_zvdisp_name} PROPERTIES
      IMPORTED_LOCATION "${_zvdisp_prefix}/bin/${_zvdisp_name}.dll"
      IMPORTED_IMPLIB "${_zvdisp_implib}"
      INTERFACE_INCLUDE_DIRECTORIES "${_zvdisp_prefix}/include")
  endif()
endforeach()
set_property(TARGET zvdisp::zvdisp PROPERTY INTERFACE_LINK_LIBRARIES zvdisp::zvkern)

unset(_zvdisp_name)
unset(_zvdisp_implib)
unset(_zvdisp_prefix)
