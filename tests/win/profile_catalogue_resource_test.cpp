#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "profile/binary_resource.h"
#include "profile/phone_catalog.h"
#include "tests/unit/catalog_expectations.h"

TEST(CatalogueResource, CompiledIntoThisProgram) {
  const char* bytes = nullptr;
  size_t size = 0;
  ASSERT_TRUE(LoadBinaryResource(CatalogResourceId, &bytes, &size));
  EXPECT_NE(bytes[size - 1], '\0');  // no terminating NUL is stored
  PhoneCatalog catalog;
  ASSERT_TRUE(catalog.Load(bytes, size));
  ExpectShippedCatalogue(catalog);

  EXPECT_FALSE(LoadBinaryResource(CatalogResourceId + 1000, &bytes, &size));
}

TEST(CatalogueResource, ShippedInsideTheProgram) {
  const char* bin = std::getenv("QV_BIN_DIR");
  ASSERT_NE(bin, nullptr) << "QV_BIN_DIR names the distribution folder";
  const std::string exe = std::string(bin) + "\\Quavella.exe";
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << exe;
  const char* bytes = nullptr;
  size_t size = 0;
  ASSERT_TRUE(LoadBinaryResourceFrom(module, CatalogResourceId, &bytes, &size));
  PhoneCatalog catalog;
  ASSERT_TRUE(catalog.Load(bytes, size));
  ExpectShippedCatalogue(catalog);

  const char* own = nullptr;
  size_t ownSize = 0;
  ASSERT_TRUE(LoadBinaryResource(CatalogResourceId, &own, &ownSize));
  EXPECT_EQ(std::string(bytes, size), std::string(own, ownSize));
  FreeLibrary(module);
}
