// The catalogue text (resources/catalogue.xml.in with the service's host filled in), compiled
// in as an array for programs that have no Windows resources: the service and the tests.
#pragma once
#include <cstddef>

extern const char CatalogueText[];       // CatalogueTextSize bytes, then a NUL
extern const size_t CatalogueTextSize;
