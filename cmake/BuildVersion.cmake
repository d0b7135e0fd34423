# Writes the build's version header: the project's version number and, when the sources are a git
# checkout, the commit they were built from (git describe: a tag with the commits since, or the
# short hash, "-dirty" when the tree had uncommitted changes at configure time). Outside a checkout,
# or without git, the commit is left empty and the build goes on.
function(talvern_write_build_version output)
    set(commit "")
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND "${GIT_EXECUTABLE}" describe --always --dirty --abbrev=10
            WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
            OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed)
            set(commit "${described}")
            # A new commit or checkout configures again, so the commit shown is never stale.
            execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --absolute-git-dir
                WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE no_dir ERROR_QUIET)
            if(NOT no_dir)
                foreach(watched HEAD logs/HEAD)
                    if(EXISTS "${git_dir}/${watched}")
                        set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY
                            CMAKE_CONFIGURE_DEPENDS "${git_dir}/${watched}")
                    endif()
                endforeach()
            endif()
        endif()
    endif()
    set(TALVERN_BUILD_COMMIT "${commit}")
    configure_file("${PROJECT_SOURCE_DIR}/cmake/BuildVersionInfo.h.in" "${output}" @ONLY)
endfunction()
