// Every family's code list, read with the row macros the includer defines; the others
// expand to nothing. Included once per use (declarations, dispatch rows, placeholders),
// so no include guard. A family lists its codes in lib/<subsystem>/<family>_codes.def,
// one row per code (or code range), in any order:
//
//   CDMADIAG_1X(code, decoder, title, policy)            a 1x log code and its member decoder
//   CDMADIAG_1X_ALSO(lo, hi, decoder, title, policy)     more codes of a decoder listed above
//   CDMADIAG_1X_MINI(code, decoder, policy)              a mini message: category 766, no title
//   CDMADIAG_1X_GENTA(code, title, policy)               the long-form DecodeGenTAInfo
//   CDMADIAG_1X_UNROUTED(decoder, title, policy)         a member no log code routes to
//   CDMADIAG_COMMAND(cmd, min_len, max_len, on_failure, decoder, title, policy)
//                                                        a DIAG command response (lengths
//                                                        count the bytes after the command)
//   CDMADIAG_EVDO(stage, code, decoder, title, policy)   an EV-DO member decoder; stage 1
//                                                        Release 0, 2 Revision A (guarded),
//                                                        3 Revision B
//   CDMADIAG_EVDO_ALSO(stage, code, decoder, title, policy)
//   CDMADIAG_EVDO_FREE(stage, code, decoder, title, policy)
//                                                        a free EV-DO decoder (guarded in
//                                                        stage 1 and 2)
//
// A code whose decoder is not written yet takes the _PENDING form of its row (no
// policy): the decoder is declared and routed to a placeholder that marks the packet
// as not decoded and shows the row's title.
//
// The rows generate the decoders' declarations (decoder_1x.h, decoder_evdo.h), the
// dispatch tables, sorted and checked at compile time (dispatch_1x.cpp,
// dispatch_evdo.cpp), and the placeholders (pending.cpp). Adding a code is one row here
// in its family's list, its decoder and its test; a new family adds its list below.

#ifndef CDMADIAG_1X
#define CDMADIAG_1X(code, decoder, title, policy)
#endif
#ifndef CDMADIAG_1X_ALSO
#define CDMADIAG_1X_ALSO(lo, hi, decoder, title, policy)
#endif
#ifndef CDMADIAG_1X_MINI
#define CDMADIAG_1X_MINI(code, decoder, policy)
#endif
#ifndef CDMADIAG_1X_GENTA
#define CDMADIAG_1X_GENTA(code, title, policy)
#endif
#ifndef CDMADIAG_1X_UNROUTED
#define CDMADIAG_1X_UNROUTED(decoder, title, policy)
#endif
#ifndef CDMADIAG_1X_PENDING
#define CDMADIAG_1X_PENDING(code, decoder, title)
#endif
#ifndef CDMADIAG_COMMAND
#define CDMADIAG_COMMAND(cmd, min_len, max_len, on_failure, decoder, title, policy)
#endif
#ifndef CDMADIAG_COMMAND_PENDING
#define CDMADIAG_COMMAND_PENDING(cmd, min_len, max_len, on_failure, decoder, title)
#endif
#ifndef CDMADIAG_EVDO
#define CDMADIAG_EVDO(stage, code, decoder, title, policy)
#endif
#ifndef CDMADIAG_EVDO_ALSO
#define CDMADIAG_EVDO_ALSO(stage, code, decoder, title, policy)
#endif
#ifndef CDMADIAG_EVDO_PENDING
#define CDMADIAG_EVDO_PENDING(stage, code, decoder, title)
#endif
#ifndef CDMADIAG_EVDO_FREE
#define CDMADIAG_EVDO_FREE(stage, code, decoder, title, policy)
#endif
#ifndef CDMADIAG_EVDO_FREE_PENDING
#define CDMADIAG_EVDO_FREE_PENDING(stage, code, decoder, title)
#endif

#include "cdma1x/access_probe_codes.def"
#include "cdma1x/active_set_codes.def"
#include "cdma1x/frame_types_codes.def"
#include "cdma1x/generalized_searcher_codes.def"
#include "cdma1x/location_codes.def"
#include "cdma1x/markov_codes.def"
#include "cdma1x/position_engine_codes.def"
#include "cdma1x/power_control_codes.def"
#include "cdma1x/ppp_security_codes.def"
#include "cdma1x/quick_paging_codes.def"
#include "cdma1x/rlp_data_codes.def"
#include "cdma1x/scanner_codes.def"
#include "cdma1x/searcher4_codes.def"
#include "cdma1x/searcher_finger_codes.def"
#include "cdma1x/searcher_info_codes.def"
#include "cdma1x/service_config_codes.def"
#include "cdma1x/status_analog_codes.def"
#include "cdma1x/temporal_analyzer_codes.def"
#include "diag/markov_response_codes.def"
#include "diag/pilot_sets_response_codes.def"
#include "diag/responses_codes.def"
#include "diag/status_codes.def"
#include "diag/ta_graph_response_codes.def"
#include "evdo/debug_display_codes.def"
#include "evdo/evdo_air_link_codes.def"
#include "evdo/evdo_forward_codes.def"
#include "evdo/evdo_pilots_codes.def"
#include "evdo/evdo_power_codes.def"
#include "evdo/evdo_reverse_codes.def"
#include "evdo/evdo_rlp_codes.def"
#include "evdo/evdo_session_codes.def"
#include "evdo/evdo_snapshots_codes.def"
#include "evdo_revab/connected_state_codes.def"
#include "evdo_revab/equalizer_codes.def"
#include "evdo_revab/multicarrier_codes.def"
#include "evdo_revab/opaque_packets_codes.def"
#include "evdo_revab/reva_forward_codes.def"
#include "evdo_revab/reva_reverse_mac_codes.def"
#include "mediaflo/mediaflo_codes.def"

#undef CDMADIAG_1X
#undef CDMADIAG_1X_ALSO
#undef CDMADIAG_1X_MINI
#undef CDMADIAG_1X_GENTA
#undef CDMADIAG_1X_UNROUTED
#undef CDMADIAG_1X_PENDING
#undef CDMADIAG_COMMAND
#undef CDMADIAG_COMMAND_PENDING
#undef CDMADIAG_EVDO
#undef CDMADIAG_EVDO_ALSO
#undef CDMADIAG_EVDO_PENDING
#undef CDMADIAG_EVDO_FREE
#undef CDMADIAG_EVDO_FREE_PENDING
