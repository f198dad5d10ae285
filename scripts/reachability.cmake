# Injected by scripts/reachability.py through CMAKE_PROJECT_INCLUDE: every function in a
# section of its own, the linker's garbage collection on, and a link map per program
# (<target>.map in the build folder) that lists the sections the linker dropped.
add_compile_options(-ffunction-sections)
add_link_options(LINKER:--gc-sections "LINKER:-Map=${CMAKE_BINARY_DIR}/$<TARGET_PROPERTY:NAME>.map")
