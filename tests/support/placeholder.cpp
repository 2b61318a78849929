// Keeps the support library non-empty until the loopback fakes land.
namespace korvelin::testing {
int SupportPlaceholder() { return 0; }
}  // namespace korvelin::testing
