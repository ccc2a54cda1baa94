#pragma once

namespace rq {

// Told how far the image has gone while a firmware update sends it. An update given one
// reports here instead of writing its progress dots into the status log.
class FlashProgress {
  public:
    virtual ~FlashProgress() = default;

    // `sent` of `total` image bytes acknowledged; first called with 0 as sending starts.
    virtual void imageBytesSent(int sent, int total) = 0;
};

}  // namespace rq
