// The message an error report shows.
#include "qzclasses/errors.h"

namespace qz {

Text ErrorMessage(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const Error& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return TextFromUtf8(e.what());
  } catch (...) {
  }
  return u"Unknown error";
}

}  // namespace qz
