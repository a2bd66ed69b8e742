# How the libraries see each other's headers.
#
# Sources include headers by layer: "common/numtext.h", "platform/sound.h". A library
# does not export the whole src/ folder: each one publishes an include root of its own in
# the build tree that holds only its own layer (a link to src/<layer>), so a header of a
# library that is not linked cannot be found.

# trimlet_layer_headers(<target> <layer>): <target>'s sources and everything that links
# it find "<layer>/..." headers.
function(trimlet_layer_headers target layer)
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    file(MAKE_DIRECTORY ${root})
    if(NOT IS_SYMLINK ${root}/${layer})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer} ${root}/${layer} SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# trimlet_forbid_widgets(<target>): a QtWidgets include in <target>'s own sources fails
# to compile, in either form (<QWidget> or <QtWidgets/QWidget>). The first form finds
# nothing where QtWidgets is not linked; for the second, cmake/nowidgets comes first on
# the path and holds the header that every QtWidgets header includes first.
function(trimlet_forbid_widgets target)
    target_include_directories(${target} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/cmake/nowidgets)
endfunction()
