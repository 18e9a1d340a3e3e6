// Picture commands: one job each, on picture files of the image library's formats.
#include <iostream>
#include <memory>
#include <string>

#include "Cli.h"
#include "image/ColorReduction.h"
#include "image/Picture.h"
#include "view/MapDisplay.h"

namespace cli {

namespace {

// The type a file name gives, or a CommandError that names the file.
int TypeOf(const std::string& path) {
    int type = image::TypeFromExtension(image::FindExtension(path));
    if (type == image::IMAGE_UNKNOWN || type == image::IMAGE_XPM) {
        throw CommandError(path + ": unknown picture type (use .bmp, .gif, .jpg or .png)");
    }
    return type;
}

void Convert(const std::string& in, const std::string& out) {
    const int outType = TypeOf(out);
    image::CPicture picture;
    if (auto read = picture.Load(in); !read) {
        throw CommandError(in + ": cannot read the picture: " + read.error().message);
    }
    // GIF holds at most 256 colours: a deeper picture has its colours reduced first.
    if (outType == image::IMAGE_GIF && picture.GetBitCount() > 8) {
        auto reduced = image::ReduceColors(*picture.GetImpl(), false);
        if (!reduced) {
            throw CommandError("cannot write " + out + ": " + reduced.error().message);
        }
        if (reduced->Lossy()) {
            std::cerr << "plandrel: " << in << ": reduced " << view::WithThousands(reduced->before) << " colours to "
                      << view::WithThousands(reduced->after) << '\n';
        }
    }
    if (auto saved = picture.Save(out); !saved) {
        throw WriteFailure(out, saved.error());
    }
}

}  // namespace

void RegisterImageCommands(CLI::App& app) {
    auto in = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    CLI::App* convert = app.add_subcommand("convert", "Read a picture and write it in the format of OUT's extension");
    convert->add_option("IN", *in, "Picture to read (BMP, GIF, JPEG or PNG, whatever its name)")->required();
    convert->add_option("OUT", *out, "Picture to write; its extension chooses the format")->required();
    convert->callback([=] { Convert(*in, *out); });
}

}  // namespace cli
