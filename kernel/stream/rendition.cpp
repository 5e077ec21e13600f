#include "kernel/stream/rendition.h"

#include "kernel/operation/undo_redo.h"

MB_Rendition_Quiet_Construction::MB_Rendition_Quiet_Construction() : m_recording(api_rec_cmd_pause()) {}

void MB_Rendition_Quiet_Construction::resume_recording()
{
    api_rec_cmd_continue(m_recording);
}

MB_Rendition::MB_Rendition()
{
    resume_recording();
}
