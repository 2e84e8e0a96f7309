// The firmware image: read whole into one block and checked before download
// mode, and that block sent as one raw job.
#pragma once

#include <cstdint>
#include <string>

#include "printer/image_block.h"
#include "printer/image_checksum.h"
#include "printer/image_file.h"
#include "printer/spooler.h"

namespace quillet {

// The services and the block that the image passes through.
struct ImageTransfer {
    ImageFiles& files;
    ImageChecksums& checksums;
    ImageBlock& block;
};

// Reads the whole file into the block: 1 when it opens, holds 1 byte to
// 4 GiB - 1, reads whole and, where "<path>.sha256" exists, matches the
// digest that file gives; 0, with no block held, otherwise.
int CheckImageFile(const ImageTransfer& image, const std::string& path);

// Sends the block read from `path` as one raw job, reading it first when no
// check came before. The block is given back either way. 1 or 0 as
// SendRawJob; 0 also when the file cannot be read whole.
int SendImageFile(Spooler& spooler, const ImageTransfer& image, const std::string& printerName,
                  const std::string& path);

}  // namespace quillet
