#include "engine/remediation/agent_skill.h"

namespace bnch {

const std::vector<AgentSkill>& AgentSkill::offered() {
  static const std::vector<AgentSkill> skills{
      {
          .slug = "avoid-ai-writing",
          .displayName = "Avoid AI writing",
          .badge = "Make your agent write like a human, not a robot",
          .source = Source::bundle("avoid-ai-writing"),
          .preselected = true,
          .developerOnly = false,
      },
      {
          .slug = "downloads-cleanup",
          .displayName = "Downloads cleanup",
          .badge = "Moves files \u00B7 Preview first",
          .source = Source::bundle("downloads-cleanup"),
          .preselected = false,
          .developerOnly = false,
      },
      {
          .slug = "skill-creator",
          .displayName = "Skill creator",
          .badge = "Anthropic \u00B7 Experimental",
          .source =
              Source::fetch("anthropics/skills", "skills/skill-creator", "57546260929473d4e0d1c1bb75297be2fdfa1949"),
          .preselected = false,
          .developerOnly = true,
      },
  };
  return skills;
}

}  // namespace bnch
