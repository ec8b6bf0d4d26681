// What the POSIX entry hands to the platform operations.
#pragma once

// Keeps the process arguments for platform_load_arguments.
void platform_keep_arguments(int argc, char** argv);
