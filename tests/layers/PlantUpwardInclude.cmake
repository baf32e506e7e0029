# The layer check must fail on an upward include: a copy of src/ gets one planted in the notation,
# which stands on nothing, and the check must refuse the copy and name the file and the header.
#   cmake -DSOURCE=<src> -DWORK=<scratch folder> -DLAYERS_FILE=<layers> -DCHECK=<CheckLayers.cmake> -P ...
file(REMOVE_RECURSE ${WORK})
file(COPY ${SOURCE}/ DESTINATION ${WORK})
file(APPEND ${WORK}/notation/ZeroPad.cpp "#include \"console/EventLog.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DLAYERS_FILE=${LAYERS_FILE} -P ${CHECK}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${err}")
if(status EQUAL 0)
    message(FATAL_ERROR "The check passed a tree with an upward include")
endif()
if(NOT err MATCHES "notation/ZeroPad.cpp includes console/EventLog.h")
    message(FATAL_ERROR "The check failed without naming the planted include")
endif()
# And nothing else: the copy is otherwise the real tree, which passes.
string(REGEX MATCHALL "includes " named "${err}")
list(LENGTH named count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "The check named ${count} includes; only the planted one goes up")
endif()
