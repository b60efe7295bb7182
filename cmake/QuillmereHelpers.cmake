# lld links the test programs, the tool and the module several times faster than ld.bfd; it is
# taken when installed (scripts/bootstrap installs it) unless QM_LLD is switched off.
option(QM_LLD "Link with lld when the compiler can use it" ON)
if(QM_LLD)
    include(CheckLinkerFlag)
    check_linker_flag(CXX -fuse-ld=lld QM_HAVE_LLD)
    if(QM_HAVE_LLD)
        add_link_options(-fuse-ld=lld)
    endif()
endif()

# Precompiled headers: GoogleTest and a few standard headers are read once for all test
# programs (each program reuses the first one's build of them) and, with
# QM_LIBRARY_PCH, the standard headers most sources use once for the whole library. A source
# needs nothing of them to build: each includes what it uses.
option(QM_PCH "Precompile the common headers of the tool and of the tests" ON)
option(QM_LIBRARY_PCH "Precompile the common standard headers of the library as well" OFF)
set(QM_LIBRARY_PCH_HEADERS <algorithm> <cstdint> <cstring> <memory> <string> <string_view>
    <unordered_map> <unordered_set> <vector>)
# Kept small on purpose: loading a large precompiled header costs each test source more than
# reading these few headers saves.
set(QM_TEST_PCH_HEADERS <gtest/gtest.h> <filesystem> <string> <vector>)
set(QM_LIBRARY_PCH_TARGET "" CACHE INTERNAL "")
set(QM_TEST_PCH_TARGET "" CACHE INTERNAL "")

# GCC 12 at -O3 reports std::string copies it cannot bound (the family of GCC bug 105329) once
# the standard headers come from a precompiled header: the sources do not warn without one.
function(qm_pch_warnings target)
    if(QM_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                               -Wno-stringop-overread)
    endif()
endfunction()

# qm_use_pch(TARGET KIND) gives TARGET the precompiled headers of KIND (LIBRARY or TEST): the
# first target of a kind builds them, the others reuse that build. GCC takes a reused build only
# when the macros it was made with are defined alike, so a test program must not give
# QM_SOURCE_DIR, QM_SHARED_DIR or QM_TOOL_PATH values of its own (new macros are fine).
function(qm_use_pch target kind)
    if(NOT QM_PCH OR (kind STREQUAL "LIBRARY" AND NOT QM_LIBRARY_PCH))
        return()
    endif()
    if(kind STREQUAL "LIBRARY")
        qm_pch_warnings(${target})
    endif()
    if(QM_${kind}_PCH_TARGET)
        target_precompile_headers(${target} REUSE_FROM ${QM_${kind}_PCH_TARGET})
    else()
        target_precompile_headers(${target} PRIVATE ${QM_${kind}_PCH_HEADERS})
        set(QM_${kind}_PCH_TARGET ${target} CACHE INTERNAL "")
    endif()
endfunction()

# Unity builds: the sources of a subsystem are compiled a batch at a time, so the standard
# headers and the templates they share are read and optimised once a batch instead of once a
# source: the library builds in about a third of the compiler time. Each source still includes
# what it uses and builds alone (QM_UNITY=OFF checks that).
option(QM_UNITY "Compile the sources in batches (unity builds)" ON)
set(QM_UNITY_BATCH 12 CACHE STRING "Sources in one batch of a unity build")
function(qm_unity target)
    if(QM_UNITY)
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON
                              UNITY_BUILD_BATCH_SIZE ${QM_UNITY_BATCH})
    endif()
endfunction()

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
        qm_use_pch(qm_${name} LIBRARY)
        qm_unity(qm_${name})
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
    # the common headers are read once for all programs: a fresh build of the suite stays short.
    target_compile_options(test_${name} PRIVATE -O0)
    # A folder's sources compile as one unit: GoogleTest's templates and the library headers are
    # instantiated once a program instead of once a file.
    if(QM_UNITY)
        set_target_properties(test_${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
        # GCC takes the sources a unit includes for headers and would report every fixture of
        # an anonymous namespace that a test derives from.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
            target_compile_options(test_${name} PRIVATE -Wno-subobject-linkage)
        endif()
    endif()
    qm_use_pch(test_${name} TEST)
    target_link_libraries(test_${name} PRIVATE qm_${subsystem} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(test_${name} PRIVATE
        QM_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        QM_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
        QM_TOOL_PATH="$<TARGET_FILE:quillmere_tool>")
    # The tests are listed when ctest starts, not after every link.
    gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
                         PROPERTIES TIMEOUT 600)
endfunction()
