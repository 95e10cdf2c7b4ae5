// stamp_series._native: the runs behind stamp_series.read_series and
// iter_series. A run's rows go straight into the memory of the numpy array
// that is handed out.
#include "series_run.hpp"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>

namespace py = pybind11;

namespace {

// The rows of a whole log in one anonymous mapping that doubles as it fills.
// The kernel moves a mapping's pages without copying them, so growing never
// holds two copies of the rows: at the peak the mapping is at most twice
// the rows it holds, and pages not yet written take no memory at all.
class row_mapping {
public:
    row_mapping() = default;
    row_mapping(const row_mapping&) = delete;
    row_mapping& operator=(const row_mapping&) = delete;
    ~row_mapping()
    {
        if (base_ != nullptr) {
            munmap(base_, bytes_);
        }
    }

    series_row* rows() const { return static_cast<series_row*>(base_); }
    std::size_t room() const { return bytes_ / sizeof(series_row); }

    void grow()
    {
        constexpr std::size_t first_bytes = sizeof(series_row) << 16;
        const std::size_t bytes = bytes_ == 0 ? first_bytes : 2 * bytes_;
        void* base = base_ == nullptr ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                      : mremap(base_, bytes_, bytes, MREMAP_MAYMOVE);
        if (base == MAP_FAILED) {
            throw std::bad_alloc();
        }
        base_ = base;
        bytes_ = bytes;
        // Each fresh page costs a fault when its first row is written: in
        // 2 MiB pages, where the system gives them on request, millions of
        // rows take a few dozen faults instead of thousands. Elsewhere the
        // advice is ignored.
        madvise(base_, bytes_, MADV_HUGEPAGE);
    }

    // The first count rows as an array that owns the mapping, cut down to
    // the pages they use.
    py::array_t<series_row> release(std::size_t count)
    {
        if (count == 0) {
            return py::array_t<series_row>(0);
        }
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t used = (count * sizeof(series_row) + page - 1) / page * page;
        if (used < bytes_ && mremap(base_, bytes_, used, 0) != MAP_FAILED) {
            bytes_ = used;
        }
        auto owned = std::make_unique<row_mapping>();
        std::swap(owned->base_, base_);
        std::swap(owned->bytes_, bytes_);
        series_row* rows = owned->rows();
        const py::capsule owner(owned.get(),
                                [](void* mapping) { delete static_cast<row_mapping*>(mapping); });
        static_cast<void>(owned.release());  // the capsule's now
        return py::array_t<series_row>({count}, {sizeof(series_row)}, rows, owner);
    }

private:
    void* base_ = nullptr;
    std::size_t bytes_ = 0;
};

// The choices of the process, made once, when the module is imported.
run_choices process_choices;

std::unique_ptr<series_run> make_run(const std::string& kind, const py::object& source,
                                     const py::object& name, const py::object& tz, bool strict,
                                     unsigned threads, std::size_t chunk_size)
{
    auto run = std::make_unique<series_run>();
    if (!tz.is_none() && !py::isinstance<py::str>(tz)) {
        throw py::type_error("tz must be a str or None");
    }
    const series_choices asked{tz.ptr(), strict, threads, chunk_size};
    if (!start_series_run(*run, process_choices, kind.c_str(), source.ptr(), name.ptr(), asked)) {
        throw py::error_already_set();
    }
    return run;
}

// fill_rows, its Python exception thrown for pybind11 to raise.
std::size_t fill(series_run& r, series_row* rows, std::size_t room)
{
    std::size_t count = 0;
    if (!fill_rows(r, rows, room, count)) {
        throw py::error_already_set();
    }
    return count;
}

// The rest of the log, all of it.
py::array_t<series_row> read_all(series_run& r)
{
    row_mapping mapping;
    std::size_t count = 0;
    while (!r.ended) {
        if (count == mapping.room()) {
            mapping.grow();
        }
        count += fill(r, mapping.rows() + count, mapping.room() - count);
    }
    return mapping.release(count);
}

// The next rows, up to lines of them; None after the last.
py::object read_block(series_run& r, std::size_t lines)
{
    if (r.ended || lines == 0) {
        return py::none();
    }
    py::array_t<series_row> block(static_cast<py::ssize_t>(lines));
    const std::size_t count = fill(r, block.mutable_data(), lines);
    if (count == 0) {
        return py::none();
    }
    if (count < lines) {
        block.resize({count});
    }
    return block;
}

}  // namespace

PYBIND11_MODULE(_native, m)
{
    process_choices = choose_run();
    PYBIND11_NUMPY_DTYPE(series_row, elapsed, channel_1, channel_2, channel_3, twice_channel_4);
    m.attr("row_dtype") = py::dtype::of<series_row>();
    m.attr("version") = STAMP_SERIES_VERSION;
    py::class_<series_run>(m, "series_run")
        .def(py::init(&make_run), py::arg("kind"), py::arg("source"), py::arg("name"),
             py::arg("tz"), py::arg("strict"), py::arg("threads"), py::arg("chunk_size"))
        .def("read_all", &read_all)
        .def("read_block", &read_block, py::arg("lines"));
}
