#include "driver/options.h"

#include "common/output.h"

EngineOptions Options;

void AnnounceOptions() {
  Send("option name UCI_Query type button");
  if (Options.overriddenParentId == 0) Send("option name Hash type spin min 2 max 4096 default 32");
  Send("option name Log type check default false");
  Send("option name xLog type check default false");
  if (Options.overriddenParentId == 0) Send("option name Max CPUs type spin min 1 max %d default %d", 2048, 2048);
  Send("option name CPU Usage type spin min 1 max 100 default 100");
  Send("option name NalimovPath type string default <empty>");
  Send("option name NalimovCache type spin min 1 max 256 default 1");
  Send("option name NalimovUsage type combo default Rarely var Frequently var Normally var Rarely var Never");
  Send("option name Main Process Priority type combo default Inherit var Normal var BelowNormal var Low var Inherit");
  Send("option name Child Process Priority type combo default BelowNormal var Normal var BelowNormal var Low");
  Send("option name Use Large Pages type check default false");
  Send("option name Always Score Main Move type check default false");
  Send("option name Display Upperbounds type check default false");
  Send("option name Preserve Analysis type check default false");
  Send("option name Clear Hash type button");
  Send("option name Hash File type string default <empty>");
  Send("option name Save Hash type button");
  Send("option name Load Hash type button");
  Send("option name Ponder type check default false");
  Send("option name MultiPV type spin default 1 min 1 max %d", 256);
  Send("option name MultiPV_cp type spin default 20000 min 0 max 20000");
  Send("option name TC Buffer type spin default %d min 0 max 120", Options.tcBuffer);
  Send("option name TC Normal Move Time type spin default %d min 1 max 10000", Options.tcNormalMoveTime);
  Send("option name TC Max Move Time type spin default %d min 1 max 10000", Options.tcMaxMoveTime);
  static const char* const pieces[6] = {"Pawn", "Knight", "King Bishop", "Queen Bishop", "Rook", "Queen"};
  for (const char* piece : pieces) {
    Send("option name White %s cp type spin default 0 min -1000 max 1000", piece);
    Send("option name Black %s cp type spin default 0 min -1000 max 1000", piece);
  }
  Send("option name Rook Endgame Scaling type spin default 100 min 0 max 1000");
  Send("option name UCI_LimitStrength type check default false");
  Send("option name UCI_Elo type spin default %d min 1200 max 2400", 1200);
  Send("option name UCI_EngineAbout type string default %s", EngineAboutAddress);
}
