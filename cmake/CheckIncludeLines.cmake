# cmake -DROOT=<source root> -P CheckIncludeLines.cmake
# The compiler finds a quoted include beside the including file before it
# searches the include folders, and that would reach past the target's own
# (kirabel_headers). So every quoted include names its header from the source
# root ("questions/Question.h"), never a bare name or a relative path.
file(GLOB_RECURSE sources RELATIVE ${ROOT}
     ${ROOT}/app/*.cpp ${ROOT}/app/*.h ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h
     ${ROOT}/controls/*.cpp ${ROOT}/controls/*.h ${ROOT}/questions/*.cpp ${ROOT}/questions/*.h
     ${ROOT}/res/*.h ${ROOT}/res/*.in ${ROOT}/session/*.cpp ${ROOT}/session/*.h
     ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h ${ROOT}/utility/*.cpp ${ROOT}/utility/*.h)
set(faults)
foreach(source IN LISTS sources)
    file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" header "${line}")
        if(NOT header MATCHES "^[a-z]+/" OR header MATCHES "\\.\\.")
            list(APPEND faults "${source}: #include \"${header}\"")
        elseif(NOT EXISTS ${ROOT}/${header} AND NOT EXISTS ${ROOT}/${header}.in)
            list(APPEND faults "${source}: #include \"${header}\", no such header in the source tree")
        endif()
    endforeach()
endforeach()
if(faults)
    list(JOIN faults "\n" faults)
    message(FATAL_ERROR "Includes not named from the source root:\n${faults}")
endif()
