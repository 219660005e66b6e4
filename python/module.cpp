// The engine (sim/engine.h) for Python; the package python/mikado adds the conveniences.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine.h"
#include "io/csv_tables.h"
#include "io/output_file.h"
#include "io/vtk_polydata.h"

namespace py = pybind11;

namespace {

// The array views hand out the engine's storage as (N, 2, 3) float32.
static_assert(sizeof(Fiber) == 6 * sizeof(float));
static_assert(sizeof(Contact) == 6 * 4);

struct ContactRow {
  int32_t i, j;
  float distance, x, y, z;
};

// One network and the lock that keeps two Python threads from detecting on it at once, since the
// GIL is released while the engine works.
struct PyNetwork {
  explicit PyNetwork(mikado::Network n) : net(std::move(n)) {}
  mikado::Network net;
  std::mutex busy;
  std::atomic<bool> detected = false;
};

// Runs `f` on the network once no other thread is detecting on it, without holding the GIL
// while waiting, so that thread can finish.
template <typename F>
auto locked(PyNetwork& self, F&& f) {
  py::gil_scoped_release unlocked;
  std::lock_guard lock(self.busy);
  return f();
}

mikado::Box make_box(const std::vector<double>& side, const std::vector<bool>& periodic) {
  mikado::Box box;
  for (int a = 0; a < 3; ++a) {
    box.side[a] = static_cast<float>(side[a]);
    box.periodic[a] = periodic[a];
  }
  return box;
}

LengthDist dist_kind(const std::string& kind) {
  if (kind == "fixed") return LengthDist::fixed;
  if (kind == "uniform") return LengthDist::uniform;
  if (kind == "lognormal") return LengthDist::lognormal;
  throw std::invalid_argument("a distribution must be fixed, uniform or lognormal");
}

// The options' readings of their numbers are float32 (option_checks.cpp).
double as_option_float(double v) {
  return static_cast<float>(v);
}

// Settings as the package has read them from the command line's forms.
std::unique_ptr<PyNetwork> generated(int64_t fibers, double length, double diameter,
                                     std::vector<double> side, std::vector<bool> periodic,
                                     int64_t seed, const std::string& orientation,
                                     double cap_degrees, int axis, const std::string& length_dist,
                                     double l1, double l2, const std::string& diameter_dist,
                                     double d1, double d2) {
  if (fibers < 0 || fibers > INT32_MAX)
    throw std::invalid_argument("the number of fibers must be a whole number from 0 to " +
                                std::to_string(INT32_MAX));
  if (seed < INT32_MIN || seed > INT32_MAX)
    throw std::invalid_argument("the seed must be a 32-bit whole number");
  mikado::Settings s;
  s.fibers = static_cast<int32_t>(fibers);
  s.length = static_cast<float>(length);
  s.diameter = static_cast<float>(diameter);
  s.box = make_box(side, periodic);
  s.seed = static_cast<int32_t>(seed);
  if (orientation == "isotropic") {
    s.population.orientation = Orientation::isotropic;
  } else if (orientation == "planar") {
    s.population.orientation = Orientation::planar;
  } else if (orientation == "aligned") {
    s.population.orientation = Orientation::aligned;
    s.population.cap_degrees = as_option_float(cap_degrees);
  } else {
    throw std::invalid_argument("the orientation must be isotropic, planar or aligned:THETA");
  }
  s.population.axis = axis;
  s.population.lengths = dist_kind(length_dist);
  s.population.first = as_option_float(l1);
  s.population.second = as_option_float(l2);
  s.population.diameters = dist_kind(diameter_dist);
  s.population.diameter_first = as_option_float(d1);
  s.population.diameter_second = as_option_float(d2);
  return std::make_unique<PyNetwork>(mikado::Network(s));
}

// `ends` (N, 2, 3) or (N, 6) of numbers, taken as float32 (C order, a copy).
std::unique_ptr<PyNetwork> from_arrays(py::handle ends_in, py::object diameters,
                                       std::vector<double> side, std::vector<bool> periodic) {
  py::module_ np = py::module_::import("numpy");
  py::array raw = py::array::ensure(ends_in);
  if (!raw) throw py::type_error("ends must be an array of numbers");
  const char kind = raw.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u')
    throw py::type_error("ends must hold real numbers, not dtype " +
                         py::str(raw.dtype()).cast<std::string>());
  const bool shape_ok = (raw.ndim() == 3 && raw.shape(1) == 2 && raw.shape(2) == 3) ||
                        (raw.ndim() == 2 && raw.shape(1) == 6);
  if (!shape_ok)
    throw py::type_error("ends must have the shape (N, 2, 3) or (N, 6), not " +
                         py::str(py::tuple(np.attr("shape")(raw))).cast<std::string>());
  auto ends = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(raw);
  if (!ends) throw py::type_error("ends cannot be read as float32");
  const py::ssize_t n = raw.shape(0);
  if (n > INT32_MAX) throw std::invalid_argument("too many fibers");
  std::vector<Fiber> fibers(static_cast<size_t>(n));
  if (n > 0) std::memcpy(fibers.data(), ends.data(), static_cast<size_t>(n) * sizeof(Fiber));
  const mikado::Box box = make_box(side, periodic);
  py::array draw = py::array::ensure(diameters);
  if (!draw ||
      (draw.dtype().kind() != 'f' && draw.dtype().kind() != 'i' && draw.dtype().kind() != 'u'))
    throw py::type_error("diameters must be a number or an array of numbers");
  if (draw.ndim() == 0) {
    const float d = static_cast<float>(draw.attr("item")().cast<double>());
    py::gil_scoped_release unlocked;
    return std::make_unique<PyNetwork>(mikado::Network(fibers, d, box));
  }
  if (draw.ndim() != 1) throw py::type_error("diameters must be one-dimensional");
  auto d = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(draw);
  std::vector<float> per(d.data(), d.data() + d.size());
  py::gil_scoped_release unlocked;
  return std::make_unique<PyNetwork>(mikado::Network(fibers, per, box));
}

void ensure_detected(PyNetwork& self) {
  if (self.detected) return;
  py::gil_scoped_release unlocked;
  std::lock_guard lock(self.busy);
  if (!self.detected) {
    self.net.detect_contacts(0);
    self.detected = true;
  }
}

void write_file(const std::string& path, const std::function<void(OutputFile&)>& body) {
  OutputFile out;
  std::string error;
  if (!out.open(path, error)) throw py::value_error(error);
  body(out);
  if (!out.commit(error)) throw py::value_error(error);
}

}  // namespace

PYBIND11_MODULE(_mikado, m) {
  m.doc() = "The fiber network engine; use the package `mikado`.";
  // std::invalid_argument becomes ValueError and std::bad_alloc MemoryError by pybind11's own
  // translation.
  PYBIND11_NUMPY_DTYPE(ContactRow, i, j, distance, x, y, z);

  py::class_<PyNetwork>(m, "Network")
      .def(py::init(&generated), py::arg("fibers"), py::arg("length"), py::arg("diameter"),
           py::arg("side"), py::arg("periodic"), py::arg("seed"), py::arg("orientation"),
           py::arg("cap_degrees"), py::arg("axis"), py::arg("length_dist"), py::arg("l1"),
           py::arg("l2"), py::arg("diameter_dist"), py::arg("d1"), py::arg("d2"))
      .def_static("from_arrays", &from_arrays, py::arg("ends"), py::arg("diameters"),
                  py::arg("side"), py::arg("periodic"))
      .def_property_readonly(
          "ends",
          [](py::object self_obj) {
            auto& self = self_obj.cast<PyNetwork&>();
            const auto f = self.net.fibers();
            // A view: the fibers never change after construction, and the base keeps them alive.
            py::array_t<float> a(
                {static_cast<py::ssize_t>(f.size()), py::ssize_t{2}, py::ssize_t{3}},
                reinterpret_cast<const float*>(f.data()), self_obj);
            py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
            return a;
          })
      .def_property_readonly("diameters",
                             [](PyNetwork& self) {
                               const auto d = self.net.diameters();
                               const auto n = static_cast<py::ssize_t>(self.net.count());
                               py::array_t<float> a(n);
                               float* out = a.mutable_data();
                               for (py::ssize_t k = 0; k < n; ++k)
                                 out[k] = d.empty() ? self.net.diameter() : d[k];
                               return a;
                             })
      .def_property_readonly("per_fiber_diameters",
                             [](PyNetwork& self) { return !self.net.diameters().empty(); })
      .def_property_readonly("count", [](PyNetwork& self) { return self.net.count(); })
      .def_property_readonly("length", [](PyNetwork& self) { return self.net.length(); })
      .def_property_readonly("diameter", [](PyNetwork& self) { return self.net.diameter(); })
      .def_property_readonly("box",
                             [](PyNetwork& self) {
                               const auto& b = self.net.box();
                               return py::make_tuple(b.side[0], b.side[1], b.side[2]);
                             })
      .def_property_readonly("periodic",
                             [](PyNetwork& self) {
                               const auto& b = self.net.box();
                               return py::make_tuple(b.periodic[0], b.periodic[1], b.periodic[2]);
                             })
      .def_property_readonly("detected", [](PyNetwork& self) { return self.detected.load(); })
      .def("volume_fraction", [](PyNetwork& self) { return self.net.volume_fraction(); })
      .def(
          "find_contacts",
          [](PyNetwork& self, int threads, std::optional<int64_t> max_contacts) {
            if (threads < 0)
              throw std::invalid_argument("threads must be 0 (one per core) or more");
            if (max_contacts && *max_contacts < 0)
              throw std::invalid_argument("max_contacts must be 0 or more");
            py::gil_scoped_release unlocked;
            std::lock_guard lock(self.busy);
            self.detected = false;
            self.net.detect_contacts(threads, max_contacts ? *max_contacts : UNCAPPED);
            self.detected = true;
          },
          py::arg("threads") = 0, py::arg("max_contacts") = py::none())
      .def_property_readonly(
          "capacity_reached",
          [](PyNetwork& self) { return locked(self, [&] { return self.net.capacity_reached(); }); })
      .def_property_readonly("contacts",
                             [](PyNetwork& self) {
                               // A copy: a later detection replaces the engine's contacts.
                               const auto c = locked(self, [&] {
                                 const auto s = self.net.contacts();
                                 return std::vector<Contact>(s.begin(), s.end());
                               });
                               py::array_t<ContactRow> a(static_cast<py::ssize_t>(c.size()));
                               ContactRow* out = a.mutable_data();
                               for (size_t k = 0; k < c.size(); ++k)
                                 out[k] = {c[k].first,    c[k].second,   c[k].distance,
                                           c[k].point[0], c[k].point[1], c[k].point[2]};
                               return a;
                             })
      .def("clusters",
           [](PyNetwork& self) {
             ClusterResult r;
             {
               py::gil_scoped_release unlocked;
               std::lock_guard lock(self.busy);
               r = self.net.clusters();
             }
             py::dict out;
             out["cluster_ids"] = py::array_t<int32_t>(
                 static_cast<py::ssize_t>(r.cluster_of.size()), r.cluster_of.data());
             out["count"] = r.num_clusters;
             out["largest"] = r.largest;
             out["largest_id"] = r.largest_id;
             out["contacts_per_fiber"] = r.contacts_per_fiber;
             out["spanning"] = py::make_tuple(r.spanning[0], r.spanning[1], r.spanning[2]);
             return out;
           })
      .def(
          "conductance",
          [](PyNetwork& self, int axis, double junction, double rho) {
            if (axis < 0 || axis > 2) throw std::invalid_argument("electrodes must be x, y or z");
            ConductanceResult r;
            {
              py::gil_scoped_release unlocked;
              std::lock_guard lock(self.busy);
              r = self.net.conductance(axis, junction, rho);
            }
            if (!r.ok) throw py::value_error("the conductance solve failed: " + r.error);
            py::dict out;
            out["conductance"] = r.conductance;
            out["conductivity"] = r.conductivity;
            if (r.film) out["sheet_resistance"] = r.sheet_resistance;
            out["residual"] = r.residual;
            out["unknowns"] = r.unknowns;
            out["potential"] = py::array_t<double>(static_cast<py::ssize_t>(r.potential.size()),
                                                   r.potential.data());
            out["current"] =
                py::array_t<double>(static_cast<py::ssize_t>(r.current.size()), r.current.data());
            return out;
          },
          py::arg("axis"), py::arg("junction_resistance"), py::arg("resistivity"))
      .def("summary",
           [](PyNetwork& self) {
             ensure_detected(self);
             return locked(self, [&] { return self.net.summary(); });
           })
      .def(
          "write_csv",
          [](PyNetwork& self, std::optional<std::string> fibers,
             std::optional<std::string> contacts) {
            py::gil_scoped_release unlocked;
            std::lock_guard lock(self.busy);
            if (fibers) {
              const ClusterResult r = self.net.clusters();
              write_file(*fibers, [&](OutputFile& out) {
                write_fibers_csv(out, self.net.fibers(), r.cluster_of, self.net.diameters());
              });
            }
            if (contacts)
              write_file(*contacts,
                         [&](OutputFile& out) { write_contacts_csv(out, self.net.contacts()); });
          },
          py::arg("fibers") = py::none(), py::arg("contacts") = py::none())
      .def(
          "write_vtk",
          [](PyNetwork& self, const std::string& path) {
            py::gil_scoped_release unlocked;
            std::lock_guard lock(self.busy);
            const ClusterResult r = self.net.clusters();
            write_file(path, [&](OutputFile& out) {
              write_network_vtk(out, self.net.fibers(), self.net.contacts(), r.cluster_of,
                                self.net.diameters());
            });
          },
          py::arg("path"));
}
