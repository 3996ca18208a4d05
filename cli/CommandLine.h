// Argument parsing of tervalo-convert.
#pragma once
