#include "MailMessage.h"

void TMailMessage::clear()
{
    Head.clear();
    Body.clear();
    Attachments.clear();
    Subject.clear();
    ContentType.clear();
    From.clear();
    MessageId.clear();
}
