# corvane_add_test(<name> SOURCES <files...> LIBS <targets...> [WIDGET])
# Builds one Qt Test executable and registers it with CTest. WIDGET tests run on the
# offscreen platform so that they need no display.
function(corvane_add_test name)
    cmake_parse_arguments(arg "WIDGET" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE corvane_options Qt6::Test ${arg_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    if(arg_WIDGET)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
endfunction()
