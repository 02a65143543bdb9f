// Rows streamed through a run from a source to a sink.
#include <tuple>
#include <utility>

#include "HostTestSupport.h"

namespace {

// Rows of an image in memory as the host's source and sink, recording the order of
// calls and failing at a chosen row.
struct Rows : filterhost::RowSource, filterhost::RowSink {
    filterhost::Image image;
    std::vector<int32_t> read, written;
    int32_t failReadAt = -1, failWriteAt = -1;

    explicit Rows(filterhost::Image source) : image(std::move(source)) {}

    bool ReadRow(int32_t y, uint8_t* row, std::string& error) override {
        if (y == failReadAt) {
            error = "bad data";
            return false;
        }
        read.push_back(y);
        for (int32_t i = 0; i < image.width * image.Planes(); ++i)
            row[i] = uint8_t(image.samples[std::size_t(y * image.width * image.Planes() + i)]);
        return true;
    }
    bool WriteRow(int32_t y, const uint8_t* row, std::string& error) override {
        if (y == failWriteAt) {
            error = "disk full";
            return false;
        }
        written.push_back(y);
        for (int32_t i = 0; i < image.width * image.Planes(); ++i)
            image.samples[std::size_t(y * image.width * image.Planes() + i)] = row[i];
        return true;
    }
};

std::vector<int32_t> Sequence(int32_t count) {
    std::vector<int32_t> rows(std::size_t(count), 0);
    for (int32_t y = 0; y < count; ++y) rows[std::size_t(y)] = y;
    return rows;
}

filterhost::Job MaskedJob(const filterhost::Image& image) {
    filterhost::Job job;
    job.play = filterhost::Descriptor{};
    job.protectTransparency = true;
    job.mask.assign(std::size_t(image.width) * std::size_t(image.height), 0);
    for (int32_t y = 40; y < 150; ++y)
        for (int32_t x = 3; x < 50; ++x) job.mask[std::size_t(y * image.width + x)] = uint8_t(x * 5);
    return job;
}

}  // namespace

TEST(Streaming, RowsPassOnceInOrderWithABandHeldAndMatchAWholeImageRunAndFaultsEndTheRun) {
    Rows streamed(RampImage(53, 180, 3, 8, true));
    const filterhost::Job job = MaskedJob(streamed.image);
    auto host = LoadModule();
    std::string error;
    auto report = host->Run(streamed.image.Shape(), streamed, streamed, job, error);
    ASSERT_EQ(report.result, noErr) << error;
    EXPECT_EQ(streamed.read, Sequence(180));
    EXPECT_EQ(streamed.written, Sequence(180));
    // Rows above the selection pass straight on; then the row asked for and the one above.
    EXPECT_LE(report.peakHeldRows, 3);

    // The dialog's preview asks for the whole image at reduced rates, so a dialog run
    // holds every row until its row loop moves on: the same bytes must come out.
    Rows whole(RampImage(53, 180, 3, 8, true));
    {
        const testsupport::Script script("click #3");
        report = host->Run(whole.image.Shape(), whole, whole, DialogJob(job), error);
    }
    ASSERT_EQ(report.result, noErr) << error;
    EXPECT_GE(report.peakHeldRows, 150);  // every row down to the selection's last
    EXPECT_EQ(whole.written, Sequence(180));
    EXPECT_EQ(whole.image.samples, streamed.image.samples);
    EXPECT_NE(whole.image.samples, RampImage(53, 180, 3, 8, true).samples);

    // Faults of the source or the sink end the run with their message.
    filterhost::Job plain;
    plain.play = filterhost::Descriptor{};
    for (const auto& [sink, row, result, said] : {std::tuple{true, 60, writErr, "cannot write row 60: disk full"},
                                                   std::tuple{false, 70, readErr, "cannot read row 70: bad data"}}) {
        Rows rows(RampImage(20, 90, 1, 8));
        (sink ? rows.failWriteAt : rows.failReadAt) = row;
        EXPECT_EQ(host->Run(rows.image.Shape(), rows, rows, plain, error).result, result);
        EXPECT_NE(error.find(said), std::string::npos) << error;
        EXPECT_EQ(rows.written, Sequence(row));  // what was filtered before the fault, no more
    }
}
