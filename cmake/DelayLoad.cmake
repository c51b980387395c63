# Delay-loaded system DLLs: a DLL that the program needs only after its first window is up gets
# loaded at the first call of one of its functions, not at process start.
#
#   qv_delay_load(<target> <library>...)
#
# Every -l<library> of <target>, its own or one that comes with the libraries it links, then
# finds a delay-load import library of the same DLL, made at build time from the toolchain's
# import library lib<library>.a with dlltool --output-delaylib. The code is unchanged: it calls
# through the same __imp_ slots, which first point at a stub that loads the DLL with the
# mingw-w64 runtime's __delayLoadHelper2 and then point at the function itself.
#
# Two things are taken care of here:
# - ld drops the jump stub of an import-library member (a .text section in a member with
#   .idata$ sections) when nothing calls the function by its plain name, which is the usual case
#   with dllimport declarations. In a delay-load library the __imp_ slot starts out pointing into
#   that stub, so dropping it leaves a null slot. The stubs are therefore moved into a section
#   .text$dlstub flagged as data, which ld does not take for an import stub; it still ends up in
#   the program's .text.
# - An import library may also hold ordinary objects (shell32's holds CLSIDs): they are copied
#   into the delay-load library, since it stands in for the whole import library.
# A DLL that exports data cannot be delay-loaded: such a library is refused with a message.
# A DLL that cannot be loaded, or lacks the function, surfaces at the first call as the
# exception 0xC06D007E / 0xC06D007F instead of a refusal to start: delay-load only DLLs that
# every supported Windows has.
#
# The test <target>_delay_load checks the linked program without running it: none of these
# DLLs is in its import table, and no import slot starts out null (the stub fault above).
#
# The same file runs as a script (cmake -P): at build time to make one library, and as that test.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.20)
  function(qv_delay_run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "delay-load library: `${ARGN}` failed (${result}):\n${out}${err}")
    endif()
    set(run_output "${out}" PARENT_SCOPE)
  endfunction()
endif()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED QV_DELAY_CHECK)
  # Inputs: QV_DELAY_CHECK (the program), QV_DELAY_DIR (its delay-load libraries), QV_NM,
  # QV_OBJDUMP, QV_DLLTOOL.
  qv_delay_run(${QV_OBJDUMP} -p ${QV_DELAY_CHECK})
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imported "${run_output}")
  list(TRANSFORM imported REPLACE "^DLL Name: " "")
  list(TRANSFORM imported TOLOWER)
  file(GLOB delay_libs ${QV_DELAY_DIR}/lib*.a)
  if(NOT delay_libs)
    message(FATAL_ERROR "delay-load check: no libraries in ${QV_DELAY_DIR}")
  endif()
  foreach(lib ${delay_libs})
    qv_delay_run(${QV_DLLTOOL} --identify-strict --identify ${lib})
    string(STRIP "${run_output}" dll)
    string(TOLOWER "${dll}" dll)
    if(dll IN_LIST imported)
      message(FATAL_ERROR "delay-load check: ${QV_DELAY_CHECK} still loads ${dll} at start")
    endif()
  endforeach()

  # Every import slot as the file holds it: a name's address for the loader, or the address
  # of a delay-load stub; never 0.
  qv_delay_run(${QV_OBJDUMP} -h ${QV_DELAY_CHECK})
  set(section_re "[ \t]+([0-9a-f]+)[ \t]+([0-9a-f]+)[ \t]+[0-9a-f]+[ \t]+([0-9a-f]+)")
  if(NOT run_output MATCHES "\\.idata${section_re}")
    message(FATAL_ERROR "delay-load check: no .idata section in ${QV_DELAY_CHECK}")
  endif()
  set(idata_size ${CMAKE_MATCH_1})
  set(idata_vma ${CMAKE_MATCH_2})
  math(EXPR idata_offset "0x${CMAKE_MATCH_3}")
  math(EXPR idata_bytes "0x${idata_size}")
  file(READ ${QV_DELAY_CHECK} idata OFFSET ${idata_offset} LIMIT ${idata_bytes} HEX)
  string(LENGTH "${idata}" idata_digits)
  math(EXPR last_slot "${idata_digits} - 8")
  qv_delay_run(${QV_NM} ${QV_DELAY_CHECK})
  string(REGEX MATCHALL "[0-9a-f]+ I __imp_[^\r\n]+" slots "${run_output}")
  if(NOT slots)
    message(FATAL_ERROR "delay-load check: ${QV_DELAY_CHECK} has no symbols to check")
  endif()
  set(null_slots "")
  list(LENGTH slots slot_count)
  foreach(slot ${slots})
    string(REGEX MATCH "^([0-9a-f]+) I (.+)$" _ "${slot}")
    set(name ${CMAKE_MATCH_2})
    math(EXPR at "(0x${CMAKE_MATCH_1} - 0x${idata_vma}) * 2")
    if(at LESS 0 OR at GREATER last_slot)
      continue()  # not in the import section (e.g. a slot of the program's own)
    endif()
    string(SUBSTRING "${idata}" ${at} 8 value)
    if(value STREQUAL "00000000")
      list(APPEND null_slots ${name})
    endif()
  endforeach()
  if(null_slots)
    list(JOIN null_slots " " null_slots)
    message(FATAL_ERROR "delay-load check: import slots that start out null: ${null_slots}")
  endif()
  message(STATUS "delay-load check: ${slot_count} import slots, none null; the delay-loaded "
                 "DLLs are not imported at start")
  return()
endif()

if(CMAKE_SCRIPT_MODE_FILE)
  # Inputs: QV_DELAY_IMPORT_LIB (the import library), QV_DELAY_OUTPUT (lib<name>.a to make),
  # QV_NM, QV_DLLTOOL, QV_OBJCOPY, QV_OBJDUMP, QV_AR.
  get_filename_component(out_name ${QV_DELAY_OUTPUT} NAME)
  get_filename_component(out_dir ${QV_DELAY_OUTPUT} DIRECTORY)
  set(work ${out_dir}/${out_name}.work)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work}/static)

  qv_delay_run(${QV_DLLTOOL} --identify-strict --identify ${QV_DELAY_IMPORT_LIB})
  string(STRIP "${run_output}" dll)
  if(dll STREQUAL "")
    message(FATAL_ERROR "delay-load library: no DLL name in ${QV_DELAY_IMPORT_LIB}")
  endif()

  # The functions: every __imp_ slot that has a stub beside it; a slot without one is data.
  qv_delay_run(${QV_NM} -g --defined-only ${QV_DELAY_IMPORT_LIB})
  string(REGEX MATCHALL "[0-9a-fA-F]+ I __imp__[^\r\n]+" slots "${run_output}")
  string(REGEX MATCHALL "[0-9a-fA-F]+ T _[^\r\n]+" stubs "${run_output}")
  list(TRANSFORM slots REPLACE "^[0-9a-fA-F]+ I __imp__" "")
  list(TRANSFORM stubs REPLACE "^[0-9a-fA-F]+ T _" "")
  list(REMOVE_DUPLICATES slots)
  if(NOT slots)
    message(FATAL_ERROR "delay-load library: no functions in ${QV_DELAY_IMPORT_LIB}")
  endif()
  set(data_exports ${slots})
  if(stubs)
    list(REMOVE_ITEM data_exports ${stubs})
  endif()
  if(data_exports)
    message(FATAL_ERROR "delay-load library: ${dll} exports data (${data_exports}); it cannot "
                        "be delay-loaded")
  endif()
  list(JOIN slots "\n  " exports)
  file(WRITE ${work}/exports.def "LIBRARY \"${dll}\"\nEXPORTS\n  ${exports}\n")

  # --kill-at: the DLL's names are undecorated, the program's symbols keep their @n. Run in the
  # work folder with a plain file name: dlltool names symbols, members and temporary files after
  # the output path.
  qv_delay_run(${QV_DLLTOOL} --kill-at --dllname ${dll} --input-def exports.def
               --output-delaylib ${out_name} WORKING_DIRECTORY ${work})
  qv_delay_run(${QV_OBJCOPY}
               "--rename-section=.text=.text$dlstub,contents,alloc,load,readonly,data"
               ${out_name} WORKING_DIRECTORY ${work})

  # Ordinary members of the import library: those without any .idata$ section.
  qv_delay_run(${QV_OBJDUMP} -h ${QV_DELAY_IMPORT_LIB})
  string(REGEX REPLACE "\n([^\n:]+):[ \t]+file format" "\n@MEMBER@\\1\n" listing "\n${run_output}")
  string(REGEX MATCHALL "@MEMBER@[^@]*" members "${listing}")
  set(static_members "")
  foreach(member ${members})
    if(NOT member MATCHES "\\.idata\\$")
      string(REGEX MATCH "^@MEMBER@([^\n]+)" _ "${member}")
      list(APPEND static_members ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(static_members)
    qv_delay_run(${QV_AR} x ${QV_DELAY_IMPORT_LIB} ${static_members}
                 WORKING_DIRECTORY ${work}/static)
    qv_delay_run(${QV_AR} qs ${work}/${out_name} ${static_members}
                 WORKING_DIRECTORY ${work}/static)
  endif()

  file(RENAME ${work}/${out_name} ${QV_DELAY_OUTPUT})
  file(REMOVE_RECURSE ${work})
  return()
endif()

set(QV_DELAY_LOAD_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(qv_delay_load target)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    message(FATAL_ERROR "qv_delay_load: made for the 32-bit x86 toolchain")
  endif()
  foreach(tool CMAKE_NM CMAKE_DLLTOOL CMAKE_OBJCOPY CMAKE_OBJDUMP CMAKE_AR)
    if(NOT ${tool})
      message(FATAL_ERROR "qv_delay_load: ${tool} is not set by the toolchain")
    endif()
  endforeach()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-delayload)
  set(outputs "")
  foreach(name ${ARGN})
    # The import library the linker would find for -l<name>.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
                    OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${import_lib}" OR NOT EXISTS "${import_lib}")
      message(FATAL_ERROR "qv_delay_load: no import library lib${name}.a in the toolchain")
    endif()
    get_filename_component(import_lib ${import_lib} REALPATH)
    set(output ${dir}/lib${name}.a)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DQV_DELAY_IMPORT_LIB=${import_lib} -DQV_DELAY_OUTPUT=${output}
              -DQV_NM=${CMAKE_NM} -DQV_DLLTOOL=${CMAKE_DLLTOOL} -DQV_OBJCOPY=${CMAKE_OBJCOPY}
              -DQV_OBJDUMP=${CMAKE_OBJDUMP} -DQV_AR=${CMAKE_AR} -P ${QV_DELAY_LOAD_SCRIPT}
      DEPENDS ${import_lib} ${QV_DELAY_LOAD_SCRIPT}
      COMMENT "Delay-load import library of ${name} for ${target}"
      VERBATIM)
    list(APPEND outputs ${output})
  endforeach()
  add_custom_target(${target}_delay_imports DEPENDS ${outputs})
  add_dependencies(${target} ${target}_delay_imports)
  # Searched before the toolchain's folders, so -l<name> finds the delay-load library.
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${outputs})
  add_test(NAME ${target}_delay_load
    COMMAND ${CMAKE_COMMAND} -DQV_DELAY_CHECK=$<TARGET_FILE:${target}> -DQV_DELAY_DIR=${dir}
            -DQV_NM=${CMAKE_NM} -DQV_OBJDUMP=${CMAKE_OBJDUMP} -DQV_DLLTOOL=${CMAKE_DLLTOOL}
            -P ${QV_DELAY_LOAD_SCRIPT})
  set_tests_properties(${target}_delay_load PROPERTIES LABELS "win")
endfunction()
