#include "web/ScoreboardPage.h"

#include "web/WebPages.h"

namespace web {

namespace {

constexpr const char* kHead =
    "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
    "<link rel=\"icon\" href=\"data:,\"><title>Live scoreboard</title><style>";

constexpr const char* kStyle = R"CSS(
header.card{display:flex;flex-wrap:wrap;gap:6px 18px;align-items:baseline}
header h1{flex:1 1 100%}
.fact{white-space:nowrap}.fact b{font-weight:600}
.badges{display:flex;flex-wrap:wrap;gap:6px;flex:1 1 100%}
.badge{font-size:.8em;padding:1px 8px;border-radius:10px;border:1px solid var(--line);
color:var(--muted);overflow-wrap:anywhere}
.badge.up{border-color:var(--ok);color:var(--ok)}.badge.down{border-color:var(--bad);color:var(--bad)}
.teams{display:flex;flex-wrap:wrap;gap:0 12px}
.team{flex:1 1 320px}
.team h2{display:flex;justify-content:space-between;gap:8px;flex-wrap:wrap}
#team0 h2 .tname{color:var(--t0)}#team1 h2 .tname{color:var(--t1)}
.tickets{color:var(--muted);font-weight:400}
#events{list-style:none;margin:0;padding:0}
#events li{padding:3px 0;border-bottom:1px solid var(--line);overflow-wrap:anywhere}
#events li.new{animation:flash 2s ease-out}
@keyframes flash{from{background:#3a3210}to{background:transparent}}
.empty td{text-align:left;color:var(--muted)}
.team .num{width:4.4em}.short{display:none}
@media (max-width:480px){.team .num{width:2.9em}.team th,.team td{padding:4px 3px}
.long{display:none}.short{display:inline}}
)CSS";

constexpr const char* kBodyTop = R"HTML(</style></head><body><div class="wrap">
<header class="card"><h1 id="server">Connecting&hellip;</h1>
<span class="fact">Map <b id="map">&ndash;</b></span>
<span class="fact">Phase <b id="phase">&ndash;</b></span>
<span class="fact">Time left <b id="timeleft">&ndash;</b></span>
<span class="fact" id="count"></span>
<div class="badges"><span class="badge" id="game">Game server</span>
<span class="badge" id="irc">IRC</span><span class="badge" id="live">Live updates</span></div>
</header>
<section class="teams">
<div class="card team" id="team0"><h2><span class="tname">Team 1</span><span class="tickets"></span></h2>
<table><thead>HEADS</thead><tbody></tbody></table></div>
<div class="card team" id="team1"><h2><span class="tname">Team 2</span><span class="tickets"></span></h2>
<table><thead>HEADS</thead><tbody></tbody></table></div>
</section>
)HTML";

// The column heads: words, or letters on a narrow window.
constexpr const char* kHeads =
    "<tr><th class=\"name\">Player</th>"
    "<th class=\"num\" title=\"Score\"><span class=\"long\">Score</span><span class=\"short\">Sc</span></th>"
    "<th class=\"num\" title=\"Kills\"><span class=\"long\">Kills</span><span class=\"short\">K</span></th>"
    "<th class=\"num\" title=\"Deaths\"><span class=\"long\">Deaths</span><span class=\"short\">D</span></th>"
    "<th class=\"num\" title=\"Ping\">Ping</th></tr>";

constexpr const char* kBodyRest = R"HTML(<section class="card"><h2>Events</h2><ol id="events"></ol></section>
<footer><a href="/top">Top players</a><a href="/api/status">Status as JSON</a>
<a href="/metrics">Metrics</a></footer>
</div>
<script>
'use strict';
const $ = (id) => document.getElementById(id);
let timeLeft = null, timeAt = 0, lastEvents = null;

function cell(text, cls) {
  const td = document.createElement('td');
  if (cls) td.className = cls;
  td.textContent = text;
  return td;
}

function playerRow(p) {
  const tr = document.createElement('tr');
  const name = cell('', 'name');
  const a = document.createElement('a');
  a.href = '/players/' + encodeURIComponent(p.name);
  a.textContent = p.name;
  name.appendChild(a);
  tr.append(name, cell(p.score), cell(p.kills), cell(p.deaths), cell(p.ping));
  return tr;
}

function emptyRow() {
  const tr = document.createElement('tr');
  tr.className = 'empty';
  const td = cell('No players');
  td.colSpan = 5;
  tr.appendChild(td);
  return tr;
}

function clock(s) {
  if (s === null || s < 0) return '\u2013';
  const m = Math.floor(s / 60), r = s % 60;
  return m + ':' + String(r).padStart(2, '0');
}

function tick() {
  let s = timeLeft;
  if (s !== null) s = Math.max(0, s - Math.floor((Date.now() - timeAt) / 1000));
  $('timeleft').textContent = clock(s);
}

function badge(el, label, side) {
  el.className = 'badge ' + (side.up ? 'up' : 'down');
  el.textContent = label + (side.up ? ' up' : ' down' + (side.reason ? ': ' + side.reason : ''));
}

// How many of the new list's lines were not in the old one: the lists
// slide, so the old list's tail is the new list's head.
function newLines(prev, next) {
  for (let shift = 0; shift <= prev.length; shift++) {
    const n = prev.length - shift;
    if (n > next.length) continue;
    let same = true;
    for (let i = 0; i < n && same; i++) same = prev[shift + i] === next[i];
    if (same) return next.length - n;
  }
  return next.length;
}

function render(st) {
  $('server').textContent = st.server || 'Game server';
  document.title = (st.server ? st.server + ' \u2013 ' : '') + 'live scoreboard';
  $('map').textContent = st.map || '\u2013';
  $('phase').textContent = st.phase || '\u2013';
  timeLeft = st.timeLeft; timeAt = Date.now(); tick();
  let count = 0;
  st.teams.forEach((t, i) => {
    const box = $('team' + i);
    box.querySelector('.tname').textContent = t.name || 'Team ' + (i + 1);
    box.querySelector('.tickets').textContent = t.tickets + ' tickets';
    const rows = t.players.slice().sort((a, b) => b.score - a.score || a.deaths - b.deaths);
    count += rows.length;
    box.querySelector('tbody').replaceChildren(...(rows.length ? rows.map(playerRow) : [emptyRow()]));
  });
  $('count').textContent = count + (st.maxPlayers ? ' / ' + st.maxPlayers : '') + ' players';
  badge($('game'), 'Game server', st.game);
  badge($('irc'), 'IRC', st.irc);
  const fresh = lastEvents ? newLines(lastEvents, st.events) : 0;
  lastEvents = st.events;
  const items = st.events.map((line, i) => {
    const li = document.createElement('li');
    li.textContent = line;
    if (i >= st.events.length - fresh) li.className = 'new';
    return li;
  }).reverse();
  $('events').replaceChildren(...items);
}

const live = $('live');
const stream = new EventSource('/events');
stream.addEventListener('status', (e) => {
  live.className = 'badge up';
  live.textContent = 'Live updates';
  try { render(JSON.parse(e.data)); } catch (err) { console.error(err); }
});
stream.onerror = () => {
  live.className = 'badge down';
  live.textContent = 'Live updates: reconnecting';
};
setInterval(tick, 1000);
</script>
</body></html>
)HTML";

}  // namespace

std::string ScoreboardPage() {
    std::string out = kHead;
    out += PageStyle();
    out += kStyle;
    std::string strTop = kBodyTop;
    for (size_t n = strTop.find("HEADS"); n != std::string::npos; n = strTop.find("HEADS"))
        strTop.replace(n, 5, kHeads);
    out += strTop;
    out += kBodyRest;
    return out;
}

}  // namespace web
