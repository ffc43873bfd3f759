# Shared build settings of the project's targets.

# Warnings for our own code only; third-party targets keep theirs.
function(qe_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# The GCC runtime must be shared by every module so exceptions can cross DLL boundaries.
function(qe_find_runtime_dlls out)
  set(dlls)
  foreach(name libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      find_file(path_${name} ${name} PATHS /usr/${QE_MINGW_PREFIX}/lib /usr/${QE_MINGW_PREFIX}/bin
                NO_CMAKE_FIND_ROOT_PATH)
      set(path ${path_${name}})
    endif()
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "Runtime DLL ${name} not found")
    endif()
    list(APPEND dlls ${path})
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()

function(qe_copy_runtime_dlls dir)
  qe_find_runtime_dlls(dlls)
  file(MAKE_DIRECTORY ${dir})
  file(COPY ${dlls} DESTINATION ${dir})
endfunction()

# A Windows program of ours: warnings on, linked to Core.
function(qe_add_program name)
  add_executable(${name} ${ARGN})
  qe_set_warnings(${name})
  target_link_libraries(${name} PRIVATE Core)
endfunction()
