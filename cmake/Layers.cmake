# The libraries of the product folders, one layer per line, bottom up. A library may link only
# libraries of lower lines; programs, tests and benchmarks sit above them all. A new library
# of a product folder must be given its line here (the configure step says so), which keeps
# the link edges one-way as scripts/check-layers.sh keeps the includes.
set(TAV_LAYERS
    "tav_ground"
    "tav_crypto tav_buffers tav_kernels"
    "tav_jp2codec tav_output"
    "tav_config tav_input"
    "tav_ldrwin"
    "tav_loader"
    "tav_view"
    "tav_view_x tav_ops"
    "tav_loader_gui"
    "tav_entry")
set(TAV_PRODUCT_DIRS app crypto buffers input loader view ops output)

function(tav_check_layers)
    set(rank 0)
    foreach(line IN LISTS TAV_LAYERS)
        string(REPLACE " " ";" names "${line}")
        foreach(t IN LISTS names)
            set(rank_${t} ${rank})
        endforeach()
        math(EXPR rank "${rank} + 1")
    endforeach()
    foreach(dir IN LISTS TAV_PRODUCT_DIRS)
        get_property(targets DIRECTORY ${PROJECT_SOURCE_DIR}/${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(t IN LISTS targets)
            get_target_property(type ${t} TYPE)
            if(type STREQUAL "EXECUTABLE")
                continue()
            endif()
            if(NOT DEFINED rank_${t})
                message(FATAL_ERROR "Library ${t} (${dir}/) has no layer: add it to cmake/Layers.cmake")
            endif()
            get_target_property(deps ${t} LINK_LIBRARIES)
            if(type STREQUAL "INTERFACE_LIBRARY")
                get_target_property(deps ${t} INTERFACE_LINK_LIBRARIES)
            endif()
            foreach(d IN LISTS deps)
                if(DEFINED rank_${d} AND NOT rank_${d} LESS rank_${t})
                    message(FATAL_ERROR "${t} links ${d}, which is not in a lower layer "
                                        "(cmake/Layers.cmake)")
                endif()
            endforeach()
        endforeach()
    endforeach()
endfunction()
