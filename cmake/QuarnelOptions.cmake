# Compiler settings shared by every target of the project.
add_library(quarnel_options INTERFACE)
target_compile_options(quarnel_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
# CI builds with warnings as errors (.ci/run): the build is clean and stays so.
option(QUARNEL_WERROR "Treat compiler warnings as errors" OFF)
if(QUARNEL_WERROR)
  target_compile_options(quarnel_options INTERFACE -Werror)
endif()
target_include_directories(quarnel_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
# GCC 12 with optimisation reports copies inside std::string and std::vector
# that it inlined as overlaps, overflows or out-of-bounds copies that cannot
# happen (its bugs 105329, 105651, 106199, 107852); the sanitizer builds check
# these for real.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quarnel_options INTERFACE
                         $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict -Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds>)
endif()

if(QUARNEL_SANITIZE STREQUAL "address")
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(quarnel_options INTERFACE ${_san})
  target_link_options(quarnel_options INTERFACE ${_san})
elseif(QUARNEL_SANITIZE STREQUAL "thread")
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(quarnel_options INTERFACE ${_san})
  target_link_options(quarnel_options INTERFACE ${_san})
elseif(NOT QUARNEL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUARNEL_SANITIZE must be address, thread or empty")
endif()

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# quarnel_library(name DIR folder [LINK libs...]): one static library made of
# every source under the folder.
function(quarnel_library name)
  cmake_parse_arguments(Q "" "DIR" "LINK" ${ARGN})
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS ${Q_DIR}/*.cpp)
  add_library(${name} STATIC ${_srcs})
  target_link_libraries(${name} PUBLIC quarnel_options ${Q_LINK})
endfunction()
