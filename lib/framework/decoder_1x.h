#pragma once
// COrbDecodeMsgCDMAQualcommFrame: decodes 1x log packets, DIAG command responses,
// scanner and MediaFLO packets. One object per captured packet.
#include <array>
#include <cstdint>
#include <string>

#include "framework/decoder_kit.h"
#include "framework/decoder_policy.h"
#include "framework/decoder_settings.h"
#include "framework/payload_reader.h"
#include "host/cell_refs.h"
#include "host/data_state.h"
#include "host/expanded_message.h"
#include "host/hs_message.h"
#include "host/object_properties.h"

namespace cdmadiag {
struct AgcPowers;
}

class COrbDecodeMsgCDMAQualcommFrame : public COrbGenericHsMessage {
 public:
  explicit COrbDecodeMsgCDMAQualcommFrame(IProObjectPropertiesConnectedAccessor* accessor);
  COrbDecodeMsgCDMAQualcommFrame(const std::uint8_t* bytes, std::uint32_t count,
                                 IProObjectPropertiesConnectedAccessor* accessor);
  COrbDecodeMsgCDMAQualcommFrame(const COrbDecodeMsgCDMAQualcommFrame& other);
  COrbDecodeMsgCDMAQualcommFrame& operator=(const COrbDecodeMsgCDMAQualcommFrame& other);
  COrbDecodeMsgCDMAQualcommFrame& operator=(const COrbGenericHsMessage& other);
  ~COrbDecodeMsgCDMAQualcommFrame() override;

  void SetCommonVariables(bool flag, double threshold_a, double threshold_b);
  void SetMDMHeaderBytes(const std::uint8_t* header);

  void ExpandQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells, bool logOnly);

  // The decoders of every 1x log code and DIAG command response, from the families'
  // code lists (data state, expanded message, cell search).
#define CDMADIAG_DECLARE(decoder) void decoder(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells);
#define CDMADIAG_1X(code, decoder, title, policy) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_1X_MINI(code, decoder, policy) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_1X_UNROUTED(decoder, title, policy) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_1X_PENDING(code, decoder, title) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_COMMAND(cmd, min_len, max_len, on_failure, decoder, title, policy) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_COMMAND_PENDING(cmd, min_len, max_len, on_failure, decoder, title) CDMADIAG_DECLARE(decoder)
#include "framework/code_lists.h"
#undef CDMADIAG_DECLARE
  // The long form of 0x1019 (its row: CDMADIAG_1X_GENTA).
  void DecodeGenTAInfo(IOrbDataState* ds, COrbExpandedMessage& msg, std::uint32_t& scratch, IDekCellRefs_Search* cells,
                       bool flag);
  // The subpacket walk shared by the nine next-generation searcher reports (0x119A-0x11A2).
  void DecodeGeneralizedSearcher(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells);

  IProObjectPropertiesConnectedAccessor* accessor() const { return settings_.accessor(); }
  bool header_present() const { return settings_.header_present(); }
  const std::uint8_t* header_bytes() const { return settings_.header_bytes(); }
  bool common_flag() const { return settings_.common_flag(); }
  double threshold_a() const { return settings_.threshold_a(); }
  double threshold_b() const { return settings_.threshold_b(); }

  // The packet bytes a decoder reads: after a DIAG command response has been shifted
  // down over its command byte, the bytes that followed the command code.
  cdmadiag::PayloadReader payload() const {
    const std::uint32_t n = GetLen();
    return cdmadiag::PayloadReader(GetBuf(), response_shifted_ && n > 0 ? n - 1 : n);
  }

 protected:
  using Member = void (COrbDecodeMsgCDMAQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&, IDekCellRefs_Search*);
  // Begins self's decode under its row (the row of this packet's code when self serves
  // several): the row's title where its policy puts it, and the policy's failures.
  // Titles and policies live only in the rows.
  cdmadiag::Decoding Begin(COrbExpandedMessage& msg, Member self) const;

  // Power and level conversions.
  double AGC_VAL2dBm(std::int8_t v, int band);
  double AGC_VAL2dBm(std::int16_t v);
  double AGCTxPwr_dBm(std::uint8_t v, int band);
  double POWER_CTL_VAL2dB(std::int8_t v);
  double MaxTxPwr_dBm(std::int8_t power_class, int band);
  double EstMsTxPwr_dBm(double rx, double adj, int band, double max_tx);
  std::uint16_t ProcessTX_PWR_LIMIT(std::int8_t v);
  float AnaPowLevIdx2dBm(std::uint8_t level, std::uint8_t station_class);
  // Pilot strength conversions.
  double PilotRSSI2dB(std::uint16_t r);
  double PilotRSSI2dB_IS2000Version(std::uint16_t r);
  double PilotRSSI2dBwithGpf(std::uint16_t r, double g);
  double PeakEnergy2EcIo(std::uint16_t e, double scale, double offset);
  // Ranking and counting.
  void ComputeEnergyRanking(int n, const std::uint16_t* energies, int* rank);
  int IndexNthBestPilot(int n, const std::uint8_t* values);
  std::uint8_t NumUniquePilots(const std::uint16_t* strengths, const std::uint16_t* pns, int n);
  void DetectBurstError(std::uint16_t& run, std::uint16_t& bursts, std::uint16_t limit);
  // IS-95 IMSI digits.
  std::uint16_t GetIMSIDigit(std::uint16_t code, int digits);
  int GetIMSInumber(const std::uint8_t* p, std::uint32_t* s1, std::uint16_t* s2);
  // Display texts.
  std::string DispPN(int pn);
  std::string DispEcIo_dB(double linear);
  const char* DispOnOff(std::uint8_t v);
  const char* DispTDMode(std::uint8_t v);
  const char* DispTDPower(std::uint8_t v);
  const char* SCHRate2Text(int rate);
  const char* VocRate2Text(std::int8_t rate);
  const char* GetFCHTransmissionRatesAllowed(std::uint8_t mask);
  const char* DispSupportedChannelMask(std::uint32_t bit);
  const char* DispEnabledChannelMask(std::uint32_t bit);
  bool GetAcqLabels(std::uint8_t step, const char** label1, const char** label2, const char** label3);

  // Shared pilot routines of the searcher families (lib/cdma1x/pilot_routines.cpp;
  // the helpers without object state are in cdma1x/pilot_routines.h).
  // ATTR_ID_PN_ECIO_SET / _STATUS at the PN of a pilot phase in chips; writes even when read-only.
  void RecordPilotEcIo(IOrbDataState* ds, int phase, double ecio, int status,
                       IProObjectPropertiesConnectedAccessor* accessor);
  // Likely cell of a PN near the last map position; both texts "Unknown" when none is found.
  bool FindLikelyCell(IOrbDataState* ds, IDekCellRefs_Search* cells, unsigned pn, std::string& cell_id,
                      std::string& site_name);
  // " (likely CellID %s on %s)," of a PN, when the message asks for cell identification.
  void AppendLikelyCell(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells, unsigned pn);
  // Peaks of the sets in set_mask (1 Active, 2 Candidate, 4 Neighbor, 8 Remaining), strongest first.
  void Set_Searcher_Attributes(IOrbDataState* ds, std::uint16_t set_mask, std::uint16_t pn, const double* ecio,
                               const double* delay, int unused);

  // Shared power trailer of the 1x AGC reports (lib/cdma1x/power_trailer.h): receive,
  // AGC transmit, gain-adjust and limited transmit powers of raw AGC bytes.
  cdmadiag::AgcPowers ConvertAgcPowers(std::int8_t rx_agc, std::uint8_t agc_power, std::int8_t tx_gain_adjust,
                                       int band_index, std::int8_t power_class);

  // Frame counters and outcome classification of the frame type, power control and
  // Markov reports (lib/cdma1x/frame_stats.cpp; the counter layout in frame_stats.h).
  // Writes every counter unconditionally: callers check IsReadOnly.
  void SetFrameAttributes(IOrbDataState* ds, const std::array<std::array<std::int32_t, 5>, 3>& fch,
                          const std::array<std::int32_t, 4>& sch0, const std::array<std::int32_t, 4>& sch1,
                          std::int32_t dcch_rate, const std::array<std::array<std::int32_t, 5>, 7>& scch, bool forward);
  // Bit and frame error flags of a frame sent at rate code t and received as decision d.
  void SetBadFrameFlags(const std::uint8_t& t, const std::uint8_t& d, bool& bit_error, bool& frame_error);
  // Adds one frame outcome to the tally [any error, frame errors, bit errors, burst errors].
  void UpdateFrameErrorsArray(std::array<std::uint8_t, 4>& tally, const bool& burst_error, const bool& frame_error,
                              const bool& bit_error);

 private:
  // Families whose parts are small free-standing functions (a table of sub-decoders,
  // one routine for several layouts) that call the protected routines above.
  friend struct GeneralizedSearcherParts;
  friend struct SearcherInfoParts;

  cdmadiag::DecoderSettings settings_;
  std::string display_;  // work text of DispPN and DispEcIo_dB
  bool response_shifted_ = false;
  // Calls decoder as the dispatcher's row (title, policy) routes it, so that Begin need
  // not look the row up again.
  void CallRouted(Member decoder, const char* title, const cdmadiag::Policy& policy, IOrbDataState* ds,
                  COrbExpandedMessage& msg, IDekCellRefs_Search* cells);
  Member routed_ = nullptr;
  std::uint32_t routed_code_ = 0;
  cdmadiag::DecoderRow routed_row_{};
};
