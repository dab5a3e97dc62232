#include "scenes/burst.h"
#include "scenes/frame_playback.h"
#include "scenes/plasma.h"
#include "scenes/wireframe.h"
#include "shell/lifecycle.h"
#include "show/show.h"

namespace cellshow {

void TickProc(Show& show) {
  Sequencer& seq = show.seq;
  if (seq.AdvancePending == 1) {
    // The closing scene never advances, so the index stays inside the script.
    if (seq.ScriptIndex + 1 < ScriptLength) ++seq.ScriptIndex;
    seq.CurrentScene = SceneScript[seq.ScriptIndex];
    seq.AdvancePending = 0;
  }
  switch (seq.CurrentScene) {
    case PlasmaId:
      PlasmaScene(show);
      break;
    case ImgId:
      ImgScene(show);
      break;
    case BurstId:
      BurstScene(show);
      break;
    case HitId:
      HitScene(show);
      break;
    case BlId:
      BlScene(show);
      break;
    case SpinId:
      SpinScene(show);
      break;
    case FlightId:
      FlightScene(show);
      break;
    default:
      ClosingScene(show);
      break;
  }
}

void ClosingScene(Show& show) {
  if (show.seq.TickPhase == ClosingIdleTicks) {
    if (show.play.Loop) {
      RestartShow(show);
    } else {
      Shutdown(show);
    }
    return;
  }
  ++show.seq.TickPhase;
}

}  // namespace cellshow
