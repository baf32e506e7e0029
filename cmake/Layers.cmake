# The program is built in layers, one folder of src/ each, one static library each. A layer links
# only the layers below it that it names, and its sources may include only its own headers and
# theirs (and theirs in turn): the check in CheckLayers.cmake reads every #include against that.
#
#   accessterm_layer(NAME [LAYERS layer...] [LIBRARIES other...])
function(accessterm_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "LAYERS;LIBRARIES")
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp
         ${PROJECT_SOURCE_DIR}/src/${name}/*.ui ${PROJECT_SOURCE_DIR}/src/${name}/*.qrc)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LAYERS} ${ARG_LIBRARIES})
    string(JOIN "," below ${ARG_LAYERS})
    set_property(GLOBAL APPEND PROPERTY ACCESSTERM_LAYERS "${name}:${below}")
endfunction()

# Writes the layers declared so far, and the order they were declared in, for the check.
function(accessterm_write_layers file)
    get_property(layers GLOBAL PROPERTY ACCESSTERM_LAYERS)
    file(WRITE ${file} "set(LAYERS \"${layers}\")\n")
endfunction()
