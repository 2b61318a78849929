// The list file codec, through the program's own import, save and start-up load. Any file
// loads without harm, and a list the program wrote loads back to the same rows:
// text -> rows -> save -> load gives the rows again.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/files.h"
#include "fuzz/fuzz_check.h"
#include "products/product_list.h"
#include "products/product_store.h"

namespace {

using namespace korvelin;

// Nothing to show and no dialog: a cancelled dialog.
class SilentUi : public ListFileUi {
 public:
  std::string ChooseOpenFile(const std::string&, const std::string&) override { return {}; }
  void ShowMessage(const std::string&, const std::string&) override {}
  void ProcessPendingEvents() override {}
  void AppendLog(const std::string&) override {}
};

std::string g_directory;

void RemoveDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(g_directory, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A folder of its own for the list file, in memory where the machine has /dev/shm.
  std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  pattern += "/korvelin-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) std::abort();
  g_directory = buffer.data();
  std::atexit(RemoveDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes as a file the user imports: loading it saves the list file, and the next
  // start loads that file.
  const std::string imported = JoinPath(g_directory, "import.txt");
  if (!WriteFileAtomically(imported, fuzz::Bytes(data, size))) std::abort();
  SilentUi ui;
  ProductList loaded;
  LoadProductList(loaded, std::string(), imported, g_directory, ui);
  ProductList restarted;
  LoadStartupProductList(restarted, g_directory, ui);
  KORVELIN_FUZZ_CHECK(restarted.Rows() == loaded.Rows());
  return 0;
}
