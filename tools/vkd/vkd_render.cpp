// vkd render: plays a data file through the FILE-mode pipeline (playback step, echo
// conversion, ping processing, column drawer) without a window and writes the waterfall as a
// PNG: the image as the screen shows it after the last record, or with --strip every column
// drawn, oldest on the left.

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "control/app_state.h"
#include "datafile/render_file.h"
#include "vkd_commands.h"
#include "waterfall/image.h"
#include "waterfall/palette.h"

namespace kelvanor::vkd {

namespace {

// A strip wider than this (250 MB of image) stops the playback there.
constexpr size_t kMaxStripColumns = 500000;

struct RenderOptions {
    std::string input;
    std::string output;
    ColourTable colours = ColourTable::Color;
    bool grid = false;
    bool speed_correction = false;
    bool marks = false;
    bool strip = false;
};

// Rows of RGB pixels for the encoder, made one at a time.
class RowSource {
  public:
    virtual ~RowSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void row(int y, uint8_t* rgb) const = 0;
};

class ImageRows final : public RowSource {
  public:
    explicit ImageRows(const WaterfallState& waterfall)
        : rgb_(static_cast<size_t>(kImageWidth) * kImageHeight * 3) {
        convert_image_rgb24(waterfall, rgb_.data(), kImageWidth * 3);
    }
    int width() const override { return kImageWidth; }
    int height() const override { return kImageHeight; }
    void row(int y, uint8_t* rgb) const override {
        std::memcpy(rgb, rgb_.data() + static_cast<size_t>(y) * kImageWidth * 3, kImageWidth * 3);
    }

  private:
    std::vector<uint8_t> rgb_;
};

// Columns of 500 palette indices, top row first, shown left to right.
class StripRows final : public RowSource {
  public:
    StripRows(const std::vector<uint8_t>& columns, size_t first_column,
              const PaletteEntries& palette)
        : columns_(columns), first_(first_column), palette_(palette) {}
    int width() const override { return static_cast<int>(columns_.size() / kImageHeight - first_); }
    int height() const override { return kImageHeight; }
    void row(int y, uint8_t* rgb) const override {
        const int w = width();
        for (int x = 0; x < w; ++x) {
            const Rgb& c = palette_[columns_[(first_ + x) * kImageHeight + y]];
            rgb[3 * x] = c.red;
            rgb[3 * x + 1] = c.green;
            rgb[3 * x + 2] = c.blue;
        }
    }

  private:
    const std::vector<uint8_t>& columns_;
    size_t first_;
    const PaletteEntries& palette_;
};

// Writes an 8-bit RGB PNG; on failure returns the reason.
std::string write_png(const std::string& path, const RowSource& rows) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return std::strerror(errno);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row(static_cast<size_t>(rows.width()) * 3);
    std::string error;
    if (png == nullptr || info == nullptr) {
        error = "cannot set up the PNG encoder";
    } else if (setjmp(png_jmpbuf(png))) {
        error = "PNG encoding failed";
    } else {
        png_init_io(png, out);
        png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width()),
                     static_cast<png_uint_32>(rows.height()), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < rows.height(); ++y) {
            rows.row(y, row.data());
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
    const bool flushed = std::fflush(out) == 0;
    const int flush_errno = errno;
    const bool closed = std::fclose(out) == 0;
    if (error.empty() && (!flushed || !closed)) error = std::strerror(flush_errno);
    if (!error.empty()) std::remove(path.c_str());
    return error;
}

}  // namespace

int render(const RenderOptions& o) {
    auto file = open_data_file(o.input);
    if (!file) return 1;

    std::vector<uint8_t> spill;
    FileRenderOptions render_options;
    render_options.colours = o.colours;
    render_options.grid = o.grid;
    render_options.speed_correction = o.speed_correction;
    render_options.marks = o.marks;
    if (o.strip) {
        render_options.column_spill = &spill;
        render_options.max_spill_columns = kMaxStripColumns;
    }
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    if (progress) {
        render_options.show_progress = [&o](int32_t percent) {
            std::fprintf(stderr, "\rvkd render: %s %3d%%", o.input.c_str(), percent);
        };
    }

    AppState app;
    const auto rendered = render_file(app, *file, render_options);
    if (!rendered) return file_error(o.input, "not a data file");
    if (progress)
        std::fprintf(stderr, "\rvkd render: %s done, %lld records\n", o.input.c_str(),
                     static_cast<long long>(rendered->played));
    if (rendered->cut) {
        std::fprintf(stderr, "%s: the strip is cut after %zu columns\n", o.input.c_str(),
                     kMaxStripColumns);
    }

    std::string error;
    if (o.strip) {
        // Every column that left the image, then the image itself; the first 784 of these are
        // the empty screen the file started on.
        const size_t old_size = spill.size();
        spill.resize(old_size + static_cast<size_t>(kImageWidth) * kImageHeight);
        {
            std::vector<uint8_t> image(static_cast<size_t>(kImageWidth) * kImageHeight);
            const ImageLock held = lock_image(app.waterfall);
            copy_image(app.waterfall, held, image.data(), kImageWidth);
            for (int x = 0; x < kImageWidth; ++x) {
                for (int y = 0; y < kImageHeight; ++y) {
                    spill[old_size + static_cast<size_t>(x) * kImageHeight + y] =
                        image[static_cast<size_t>(y) * kImageWidth + x];
                }
            }
        }
        const StripRows rows(spill, kImageWidth, app.waterfall.palette);
        if (rows.width() == 0) return file_error(o.input, "no column was drawn");
        error = write_png(o.output, rows);
    } else {
        error = write_png(o.output, ImageRows(app.waterfall));
    }
    if (!error.empty()) return file_error(o.output, error);
    return 0;
}

Run add_render(CLI::App& vkd) {
    CLI::App* command = vkd.add_subcommand(
        "render",
        "Play a data file through the FILE-mode pipeline and write the waterfall as PNG.");
    auto o = std::make_shared<RenderOptions>();
    command->add_option("FILE", o->input, "the data file")->required();
    command->add_option("-o,--output", o->output, "the PNG file to write")->required();
    command->add_option("--colors", o->colours, "colour table: color, grey, reverse-grey, brown")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, ColourTable>{{"color", ColourTable::Color},
                                               {"grey", ColourTable::Grey},
                                               {"reverse-grey", ColourTable::ReverseGrey},
                                               {"brown", ColourTable::Brown}}))
        ->default_str("color");
    command->add_flag("--grid", o->grid, "draw the range grid");
    command->add_flag("--speed-correction", o->speed_correction,
                      "stretch the image to the vessel's speed");
    command->add_flag("--marks", o->marks, "draw the along-track marks");
    command->add_flag("--strip", o->strip,
                      "every column drawn, oldest on the left, instead of the last screen");
    return [o] { return render(*o); };
}

}  // namespace kelvanor::vkd
