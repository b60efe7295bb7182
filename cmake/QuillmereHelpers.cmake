# qm_subsystem(NAME [DEPENDENCY...]) makes the static library qm_NAME from src/NAME/*.cpp.
# A subsystem without sources yet becomes an interface library, so later ones can name it.
set(QM_ALL_SUBSYSTEMS "" CACHE INTERNAL "")
function(qm_subsystem name)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
    set(deps "")
    foreach(dep IN LISTS ARGN)
        list(APPEND deps qm_${dep})
    endforeach()
    if(sources)
        add_library(qm_${name} STATIC ${sources})
        target_include_directories(qm_${name} PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
        target_compile_definitions(qm_${name} PUBLIC QM_BUILDING_LIBRARY)
        target_link_libraries(qm_${name} PUBLIC ${deps})
        set(QM_ALL_SUBSYSTEMS ${QM_ALL_SUBSYSTEMS} qm_${name} CACHE INTERNAL "")
    else()
        add_library(qm_${name} INTERFACE)
        target_include_directories(qm_${name} INTERFACE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
        target_compile_definitions(qm_${name} INTERFACE QM_BUILDING_LIBRARY)
        target_link_libraries(qm_${name} INTERFACE ${deps})
    endif()
endfunction()

# qm_test_suite(NAME SUBSYSTEM) makes the test program test_NAME from tests/NAME/*.cpp.
function(qm_test_suite name subsystem)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${name}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(test_${name} ${sources})
    # The test code only calls into the optimised library, so it is not optimised itself, and
    # the GoogleTest headers are read once per program: a fresh build of the suite stays short.
    target_compile_options(test_${name} PRIVATE -O0)
    target_precompile_headers(test_${name} PRIVATE <gtest/gtest.h> <filesystem> <string> <vector>)
    target_link_libraries(test_${name} PRIVATE qm_${subsystem} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(test_${name} PRIVATE
        QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        QM_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
        QM_TOOL_PATH="$<TARGET_FILE:quillmere_tool>")
    gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
