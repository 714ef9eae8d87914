# Device state changes and the helper run: GUID text, processes and resources come
# from qzwin32 and qzsysutils; the helper's image comes with the library.
target_sources(qzwin32di PRIVATE device_state.cpp helper_run.cpp)
target_link_libraries(qzwin32di PUBLIC qzwin32 INTERFACE $<TARGET_OBJECTS:qzx64stub_resource>)
