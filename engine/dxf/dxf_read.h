#pragma once
// Reads the ASCII form of a DXF drawing into layers of entity lists: the
// HEADER, TABLES, BLOCKS and ENTITIES sections in this order, the LAYER and
// VPORT tables, block definitions and eleven entity types. Everything else is
// passed over. What was read before an error is kept.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/dxf/dxf_structs.h"
#include "engine/dxf/dxf_tag_stream.h"

namespace pelindra {

// Captions of the reader's two message boxes.
inline constexpr const char* dxf_read_error_caption = "DXF Read Error";
inline constexpr const char* dxf_read_warning_caption = "DXF read error warning";

// The reader's error. With a line number of 0 or more the message names it.
class DXF_read_exception : public std::runtime_error {
 public:
  DXF_read_exception(const std::string& message, int line_number);
  int line_number() const { return line_number_; }

 private:
  int line_number_;
};

// What reading needs from the user interface. Windows answer with message
// boxes and their message loop; tests and the command line answer directly.
class DXF_Read_Events {
 public:
  virtual ~DXF_Read_Events() = default;
  // One entity could not be read. Message box without owner, caption
  // "DXF read error warning", OK and Cancel: true for OK (go on with the next
  // entity), false for Cancel (the read stops with "User aborted").
  virtual bool entity_warning(const std::string& message) = 0;
  // The read stopped. Message box without owner, caption "DXF Read Error",
  // exclamation icon, OK.
  virtual void read_error(const std::string& message) = 0;
  // Any other error of one entity: the standard message dialog; reading goes on.
  virtual void show_message(const std::string& message) = 0;
  // After every buffer fill, with the progress text updated: let pending
  // window messages run.
  virtual void process_messages() {}
  // Asked after process_messages: true ends the read quietly, keeping what
  // was read so far.
  virtual bool stop_requested() { return false; }
};

// Answers every warning with OK and keeps every message, in order.
class DXF_Recorded_Events : public DXF_Read_Events {
 public:
  struct Message {
    enum Kind { Warning, Error, Note } kind;
    std::string text;
  };
  std::vector<Message> messages;
  // Answer Cancel to the warning with this number (1-based); 0 never.
  int cancel_at_warning = 0;

  bool entity_warning(const std::string& message) override;
  void read_error(const std::string& message) override { messages.push_back({Message::Error, message}); }
  void show_message(const std::string& message) override { messages.push_back({Message::Note, message}); }

 private:
  int warnings_ = 0;
};

// The program-wide state of DXF loading, which windows read on their timers.
struct DXF_Load_Status {
  std::string progress_text;    // "45%", set at every buffer fill
  bool no_load_running = true;  // false while a drawing object is being built
};
DXF_Load_Status& dxf_load_status();

// Bounds of what one entity may hold.
struct DXF_Reader_Limits {
  int max_vertices = 8192;       // of one POLYLINE
  int max_faces = 4096;          // of one polyface mesh
  int max_insert_attribs = 256;  // ATTRIB records kept per INSERT
};

// The groups of one record, collected before its entity is built.
struct abstract_entity {
  std::string text;    // 1
  std::string name;    // 2
  std::string prompt;  // 3
  std::string layer;   // 8
  Point3D p[4];        // 10..13, 20..23, 30..33
  double elevation = 0, thickness = 0, radius = 0;
  double scale_x = 0, scale_y = 0, scale_z = 0;
  double angle1 = 0, angle2 = 0;
  int colour = 0, entities_follow = 0, flags = 0;
  int i71 = 0, i72 = 0, i73 = 0, i74 = 0;
  Point3D extrusion = wcs_z_axis;

  void clear();
  // p1..p3 when p3 equals p4, else p1..p4.
  int corner_count() const { return points_equal(p[2], p[3]) ? 3 : 4; }
};

class DXF_Reader {
 public:
  // Throws std::ios_base::failure when the file cannot be opened.
  explicit DXF_Reader(const std::string& file_name, DXF_Read_Events* events = nullptr,
                      const DXF_Reader_Limits& limits = {});
  DXF_Reader(std::unique_ptr<DXF_Source> source, DXF_Read_Events* events = nullptr,
             const DXF_Reader_Limits& limits = {});

  // Receives the names of the records and sections that were passed over.
  void set_skipped_log(std::vector<std::string>* log) { skipped_log_ = log; }
  // Reads the whole drawing. Errors are reported through the events; the
  // result is always true.
  bool read_file();
  Layer_Vector take_layers() { return std::move(layers_); }
  Point3D extmin() const { return extmin_; }
  Point3D extmax() const { return extmax_; }

 private:
  int next_group() { return tags_.next_group(); }
  double value_float();
  int value_int();
  bool read_group(int& code, std::string& text);
  void push_back(int code) { tags_.push_back(code); }
  void log(std::string_view name);

  int layer_index(const std::string& name);
  DXF_Layer& layer_named(const std::string& name);
  bool read_record(abstract_entity& record);
  bool read_entity_record(abstract_entity& record, int& layer);

  bool find_section(const char* name);
  bool read_header();
  bool read_point(Point3D& p);
  bool read_tables();
  void read_layer_table();
  void read_vport_table();
  bool read_blocks();
  bool read_entities();
  // True at the terminator; otherwise `entity` is what was built, if anything.
  bool read_entity(const std::string& name, const char* terminator, int& layer, std::unique_ptr<DXF_Entity>& entity);
  bool guarded_read_entity(const std::string& name, const char* terminator, int& layer,
                           std::unique_ptr<DXF_Entity>& entity);
  std::unique_ptr<DXF_Entity> read_simple(const std::string& name, int& layer);
  std::unique_ptr<DXF_Entity> read_insert(int& layer);
  std::unique_ptr<DXF_Entity> read_polyline(int& layer);
  bool consume_seqend();
  void add_vertex(const Point3D& p);
  Entity_List* block_list() const;
  void grow_extents();
  void on_refill();

  DXF_Tag_Stream tags_;
  DXF_Read_Events* events_;
  DXF_Reader_Limits limits_;
  std::vector<std::string>* skipped_log_ = nullptr;
  Layer_Vector layers_;
  std::unordered_map<std::string, int> layer_lookup_;      // first layer of each name
  std::unordered_map<std::string, Block_*> block_lookup_;  // first block of each name
  Point3D extmin_ = origin, extmax_ = origin;
  // Scratch records and vertex buffers, reused from entity to entity.
  abstract_entity record_, vertex_record_;
  std::vector<Point3D> vertices_;
  std::vector<Polyface_mesh_::Face> faces_;
};

}  // namespace pelindra
