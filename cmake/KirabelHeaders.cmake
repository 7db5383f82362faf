# kirabel_headers(target [PUBLIC header...] [PRIVATE header...])
#
# Every header is included by its path from the source root ("questions/Question.h"),
# but no target sees the source root. Each target's headers are linked into
# include folders of its own in the build tree: the PUBLIC ones into the folder
# that its dependants get, all of them into the one that its own sources get.
# So a file can include only the headers of its own target and of the targets
# that target links, and the compiler says so at once when one reaches further.
# Call once per target; paths are relative to the current source folder.
function(kirabel_headers target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PUBLIC;PRIVATE")
    set(public ${CMAKE_BINARY_DIR}/include/${target})
    set(own ${CMAKE_BINARY_DIR}/include/${target}.own)
    # A header dropped from the lists must not stay reachable.
    file(REMOVE_RECURSE ${public} ${own})
    file(MAKE_DIRECTORY ${public} ${own})
    foreach(kind PUBLIC PRIVATE)
        foreach(header IN LISTS arg_${kind})
            cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
                       OUTPUT_VARIABLE source)
            if(NOT EXISTS ${source})
                message(FATAL_ERROR "${target}: no header ${source}")
            endif()
            cmake_path(RELATIVE_PATH source BASE_DIRECTORY ${PROJECT_SOURCE_DIR}
                       OUTPUT_VARIABLE name)
            set(folders ${own})
            if(kind STREQUAL PUBLIC)
                list(APPEND folders ${public})
            endif()
            foreach(folder IN LISTS folders)
                cmake_path(GET name PARENT_PATH parent)
                file(MAKE_DIRECTORY ${folder}/${parent})
                file(CREATE_LINK ${source} ${folder}/${name} SYMBOLIC)
            endforeach()
        endforeach()
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL INTERFACE_LIBRARY)
        target_include_directories(${target} INTERFACE ${public})
    else()
        if(arg_PUBLIC)
            target_include_directories(${target} PUBLIC ${public})
        endif()
        target_include_directories(${target} PRIVATE ${own})
    endif()
endfunction()
