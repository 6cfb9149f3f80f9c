# vantorel_idl(<name> IDL <file> [IMPORTS <dir>...] [LIBS <lib>...]
#              [SERVER_PREFIX <prefix>])
# Compiles an interface definition with widl into interpreted (-Oif) stubs:
# the static libraries <name>_client and <name>_server, each carrying the
# generated header <name>.h. LIBS are linked into both (the libraries of the
# imported definitions). SERVER_PREFIX names the server's routines
# <prefix><procedure>, so that one program can both serve and call them.
function(vantorel_idl name)
  cmake_parse_arguments(I "" "IDL;SERVER_PREFIX" "IMPORTS;LIBS" ${ARGN})
  vantorel_widl_flags(flags)
  if(I_SERVER_PREFIX)
    list(APPEND flags --prefix-server=${I_SERVER_PREFIX})
  endif()
  set(imported)
  foreach(dir ${I_IMPORTS})
    list(APPEND flags -I${dir})
    file(GLOB found ${dir}/*.idl)
    list(APPEND imported ${found})
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  file(MAKE_DIRECTORY ${out})
  get_filename_component(idl ${I_IDL} ABSOLUTE)
  add_custom_command(
    OUTPUT ${out}/${name}.h ${out}/${name}_c.c ${out}/${name}_s.c
    COMMAND widl ${flags} -Oif -h -H ${out}/${name}.h -c -C ${out}/${name}_c.c
            -s -S ${out}/${name}_s.c ${idl}
    DEPENDS ${idl} ${imported}
    COMMENT "widl ${name}")
  foreach(side client server)
    if(side STREQUAL client)
      set(source ${out}/${name}_c.c)
    else()
      set(source ${out}/${name}_s.c)
    endif()
    add_library(${name}_${side} STATIC ${source} ${out}/${name}.h)
    target_include_directories(${name}_${side} PUBLIC ${out})
    target_link_libraries(${name}_${side} PUBLIC ${I_LIBS} rpcrt4)
  endforeach()
endfunction()

# vantorel_idl_types(<target> IDL <file>): a definition that holds only types;
# <target> is an interface library with its generated header.
function(vantorel_idl_types target)
  cmake_parse_arguments(I "" "IDL" "" ${ARGN})
  vantorel_widl_flags(flags)
  get_filename_component(idl ${I_IDL} ABSOLUTE)
  get_filename_component(stem ${I_IDL} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  file(MAKE_DIRECTORY ${out})
  add_custom_command(OUTPUT ${out}/${stem}.h
    COMMAND widl ${flags} -h -H ${out}/${stem}.h ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${stem}")
  add_custom_target(${target}_header DEPENDS ${out}/${stem}.h)
  add_library(${target} INTERFACE)
  add_dependencies(${target} ${target}_header)
  target_include_directories(${target} INTERFACE ${out})
endfunction()

# The widl options of the target architecture.
function(vantorel_widl_flags result)
  set(arch ${VANTOREL_ARCH})
  if(NOT arch)
    set(arch ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  # -L: where Debian's Wine keeps the type libraries that components
  # import (stdole2.tlb) for the architecture.
  if(arch STREQUAL x86_64)
    set(${result} --win64 -I/usr/x86_64-w64-mingw32/include
        -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows PARENT_SCOPE)
  else()
    set(${result} --win32 -I/usr/i686-w64-mingw32/include
        -L/usr/lib/i386-linux-gnu/wine/i386-windows PARENT_SCOPE)
  endif()
endfunction()

# vantorel_automation_dll(<name> IDL <file> TITLE <text> SOURCES <src>...
#                         [LIBS <lib>...])
# An in-process automation component <name>.dll: widl makes the type library
# (embedded as resource TYPELIB 1), the header <name>.h and the identifiers;
# string 100 of the DLL is TITLE; platform/atl/exports.def exports the four
# Dll entry points. The static library <name>_ids carries the header and the
# identifiers for the DLL and its clients.
function(vantorel_automation_dll name)
  cmake_parse_arguments(A "" "IDL;TITLE" "SOURCES;LIBS" ${ARGN})
  vantorel_widl_flags(flags)
  get_filename_component(idl ${A_IDL} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  file(MAKE_DIRECTORY ${out})
  add_custom_command(
    OUTPUT ${out}/${name}.h ${out}/${name}_i.c ${out}/${name}.tlb
    COMMAND widl ${flags} -t -T ${out}/${name}.tlb -h -H ${out}/${name}.h
            -u -U ${out}/${name}_i.c ${idl}
    DEPENDS ${idl}
    COMMENT "widl ${name}")
  write_file_if_changed(${out}/${name}.rc
    "1 TYPELIB \"${out}/${name}.tlb\"\nSTRINGTABLE\nBEGIN\n  100, \"${A_TITLE}\"\nEND\n")
  set_source_files_properties(${out}/${name}.rc PROPERTIES OBJECT_DEPENDS ${out}/${name}.tlb)
  add_library(${name}_ids STATIC ${out}/${name}_i.c ${out}/${name}.h)
  target_include_directories(${name}_ids PUBLIC ${out})
  target_link_libraries(${name}_ids PUBLIC ole32 oleaut32 uuid)
  add_library(${name} SHARED ${A_SOURCES} ${out}/${name}.rc
              ${CMAKE_SOURCE_DIR}/platform/atl/exports.def)
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE ${name}_ids atl ${A_LIBS})
  if(VANTOREL_ARCH STREQUAL "i686")
    # The entry points are exported by their undecorated names, as callers
    # look them up; the linker binds each to its __stdcall function.
    target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
endfunction()
