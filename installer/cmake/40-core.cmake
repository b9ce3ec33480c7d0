# ferrylift_core: the install operations (version check, two-pass extraction, registry entries,
# starting the client) over the support library and minizip.
file(GLOB ferrylift_core_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/update*.cpp)
add_library(ferrylift_core STATIC ${ferrylift_core_sources})
target_include_directories(ferrylift_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ferrylift_core PUBLIC ferrylift_support)
if(TARGET minizip)
    target_link_libraries(ferrylift_core PUBLIC minizip)
endif()
if(WIN32)
    # Registry and shell start of the platform layer.
    target_link_libraries(ferrylift_platform PUBLIC advapi32 shell32)
endif()
