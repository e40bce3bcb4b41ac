# Every program file of the build carries its file version in an ELF note, so that the online
# update can compare an installed program with the one on the server (mode "ver"). The note's
# owner is "Quorvel", its type 1, its descriptor the version text "major.minor.patch.tweak"
# taken from the CMake project version. update/modUpdateFiles reads it back.
set(QV_FILE_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/FileVersionNote.cpp.in)

function(qv_embed_file_version target)
  set(QV_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  if(PROJECT_VERSION_TWEAK)
    set(QV_FILE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK}")
  endif()
  string(LENGTH "${QV_FILE_VERSION}" length)
  math(EXPR QV_FILE_VERSION_SIZE "${length} + 1")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_FileVersionNote.cpp)
  configure_file(${QV_FILE_VERSION_TEMPLATE} ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()
