// Argument parsing of tervalo-convert.
#include "CommandLine.h"
