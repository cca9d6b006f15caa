#pragma once
// Where the hall keeps its games: every submission with its recording, its place in the
// verification queue and its verdict. An interface so that more than one database can
// serve it; every implementation passes the same contract tests. Every call may come from
// any thread. A database failure is thrown as store_failure; nothing else throws.
//
// Several stores may share one database (one per hall process, where the database allows
// it): a game taken is held by its taker until finished or released, and never handed to
// another while the taker lives. When the taker is gone (its process died, or its
// connection to the database did) requeue_unfinished, called by any store, puts it back.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct store_failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class game_status { queued, verifying, verified, refused };
const char* status_name(game_status status);
// The status a name stands for; queued for a name that is none.
game_status status_from_name(const std::string& name);

struct submission {
  std::string name;
  std::vector<uint8_t> recording;
  std::string digest;        // SHA-256 of recording, lower-case hex: equal bytes, equal games
  std::string address;       // who sent it
  int64_t submitted_at = 0;  // seconds since 1970
};

// What verifying a game found.
struct verdict {
  bool verified = false;
  std::string reason;  // a refusal's code (see hall/verification.h); empty when verified
  std::string detail;  // one line for people
  int32_t score = 0, level = 0, frames = 0;  // as replayed (verified games only)
  double seconds = 0;                        // the verification's wall time
};

struct game_record {
  int64_t id = 0;
  std::string name;
  game_status status = game_status::queued;
  std::string reason, detail;
  int32_t score = 0, level = 0, frames = 0;
  int64_t submitted_at = 0;
  int64_t size = 0;  // of the recording, in bytes
};

struct queued_game {
  int64_t id = 0;
  std::vector<uint8_t> recording;
};

enum class add_outcome { added, duplicate };

class hall_store {
 public:
  virtual ~hall_store() = default;
  // Keeps a submission, queued, durably before returning (it survives the process being
  // killed the moment after). id is the new game's, or for a duplicate (the same bytes
  // submitted before, in whatever state) the earlier game's.
  virtual add_outcome add(const submission& game, int64_t& id) = 0;
  virtual std::optional<game_record> find(int64_t id) = 0;
  // A verified game's recording; none for any other game.
  virtual std::optional<std::vector<uint8_t>> verified_recording(int64_t id) = 0;
  // The best count verified games: highest score first, ties newest first.
  virtual std::vector<game_record> table(int count) = 0;
  // Marks the oldest queued game as being verified by this store and hands it over; none
  // when the queue is empty. Each game is handed to one taker only.
  virtual std::optional<queued_game> take() = 0;
  // Records the verdict on a game this store took. A game it no longer holds (its hold was
  // lost with its connection, and the game may be another taker's now) is left as it is.
  // Even when it throws, the store lets go of the game, so requeue_unfinished can put it back.
  virtual void finish(int64_t id, const verdict& result) = 0;
  // Puts a game this store took back in the queue unjudged (the verifier itself could not
  // run); the same conditions as finish.
  virtual void release(int64_t id) = 0;
  // Games being verified by a taker that is gone go back in the queue, ahead of newer ones;
  // games a live store holds, this one's included, stay. Safe at any time, from any store
  // on the database: at start-up and now and then while serving. Returns how many.
  virtual int64_t requeue_unfinished() = 0;
  // Games queued or being verified.
  virtual int64_t queue_length() = 0;
};

// The calls above, declared by each store that implements them.
#define VEXTRAL_HALL_STORE_OVERRIDES                                           \
  add_outcome add(const submission& game, int64_t& id) override;               \
  std::optional<game_record> find(int64_t id) override;                        \
  std::optional<std::vector<uint8_t>> verified_recording(int64_t id) override; \
  std::vector<game_record> table(int count) override;                          \
  std::optional<queued_game> take() override;                                  \
  void finish(int64_t id, const verdict& result) override;                     \
  void release(int64_t id) override;                                           \
  int64_t requeue_unfinished() override;                                       \
  int64_t queue_length() override;
