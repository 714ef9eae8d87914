# Device state changes and the helper run: GUID text, processes and resources come
# from qzwin32 and qzsysutils; the helper's image comes with the library, and the
# parameters of a state change are defined once for both.
target_sources(qzwin32di PRIVATE device_state.cpp helper_run.cpp)
target_link_libraries(qzwin32di PUBLIC qzwin32 INTERFACE $<TARGET_OBJECTS:qzx64stub_resource>)
target_include_directories(qzwin32di PRIVATE ${PROJECT_SOURCE_DIR}/ddk)
