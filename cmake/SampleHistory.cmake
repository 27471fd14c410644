# Places the sample histories of data/历史号码 in 历史号码 beside the executable: the folder the
# import dialog opens first. Include after CMAKE_RUNTIME_OUTPUT_DIRECTORY is set.
if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
    message(FATAL_ERROR "SampleHistory.cmake: set CMAKE_RUNTIME_OUTPUT_DIRECTORY before including it")
endif()

set(QUORVEX_SAMPLE_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/../data/历史号码")
set(QUORVEX_SAMPLE_OUTPUT_DIR "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/历史号码")
file(GLOB QUORVEX_SAMPLE_HISTORIES CONFIGURE_DEPENDS "${QUORVEX_SAMPLE_SOURCE_DIR}/*.txt")

set(QUORVEX_SAMPLE_COPIES "")
foreach(sample ${QUORVEX_SAMPLE_HISTORIES})
    get_filename_component(name "${sample}" NAME)
    set(copy "${QUORVEX_SAMPLE_OUTPUT_DIR}/${name}")
    add_custom_command(OUTPUT "${copy}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${QUORVEX_SAMPLE_OUTPUT_DIR}"
        COMMAND ${CMAKE_COMMAND} -E copy_if_different "${sample}" "${copy}"
        DEPENDS "${sample}"
        COMMENT "Placing sample history ${name}"
        VERBATIM)
    list(APPEND QUORVEX_SAMPLE_COPIES "${copy}")
endforeach()

add_custom_target(quorvex_sample_history ALL DEPENDS ${QUORVEX_SAMPLE_COPIES})
