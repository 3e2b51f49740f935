// The report page's style sheet (screen and print) and its one script: pan and zoom of
// the map, values of a route point, the links between the map, the events and the
// charts, and tiles when --tiles gave a server. Also what the page may fetch: nothing,
// or tiles from that server only (its Content-Security-Policy).
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "report_parts.h"

namespace cdmadiag {
namespace {

bool starts_with_ci(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// The template after its scheme, and the scheme ("http" or "https"); none for another.
std::optional<std::pair<std::string_view, std::string_view>> split_scheme(std::string_view t) {
  for (const std::string_view scheme : {std::string_view("https"), std::string_view("http")}) {
    if (starts_with_ci(t, scheme) && t.substr(scheme.size()).starts_with("://")) {
      return std::pair{scheme, t.substr(scheme.size() + 3)};
    }
  }
  return std::nullopt;
}

std::string_view host_of(std::string_view rest) { return rest.substr(0, rest.find_first_of("/?#")); }

}  // namespace

std::string tile_template_problem(std::string_view t) {
  const auto split = split_scheme(t);
  if (!split) return "a tile URL template starts with http:// or https://";
  for (const char c : t) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || std::strchr("\"'<>\\`^|", c) != nullptr) {
      return "a tile URL template has no spaces, quotes, <, >, \\, `, ^, | or non-ASCII characters "
             "(percent-encode them)";
    }
  }
  bool z = false, x = false, y = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '}') return "a tile URL template has } only to close {z}, {x}, {y} or {s}";
    if (t[i] != '{') continue;
    const std::size_t end = t.find('}', i);
    const std::string_view name = end == std::string_view::npos ? t.substr(i) : t.substr(i + 1, end - i - 1);
    if (name == "z") {
      z = true;
    } else if (name == "x") {
      x = true;
    } else if (name == "y") {
      y = true;
    } else if (name != "s") {
      return fmt::format("a tile URL template knows {{z}}, {{x}}, {{y}} and {{s}}, not {{{}", name);
    }
    i = end;
  }
  if (!z || !x || !y) return "a tile URL template needs {z}, {x} and {y}";
  const std::string_view host = host_of(split->second);
  if (host.empty()) return "a tile URL template needs a host";
  if (host.find('@') != std::string_view::npos) return "a tile URL template takes no user name or password";
  return {};
}

std::string tile_host(std::string_view t) {
  const auto split = split_scheme(t);
  return split ? std::string(host_of(split->second)) : std::string();
}

namespace report {

std::string content_policy(std::string_view tiles) {
  std::string policy = "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; base-uri 'none'; "
                       "form-action 'none'";
  if (tiles.empty()) return policy;
  const auto split = split_scheme(tiles);
  if (!split) return policy;
  // The server's origin; subdomains when the template picks one ({s}.host). A host that
  // a policy cannot name (a placeholder inside a label) allows the scheme only.
  const std::string scheme = split->first == "https" ? "https" : "http";
  std::string host(host_of(split->second));
  if (host.starts_with("{s}.")) host.replace(0, 3, "*");
  const bool plain = std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '*';
  });
  const bool wildcard_ok = host.find('*') == std::string::npos || (host.starts_with("*.") && host.find('*', 1) == std::string::npos);
  policy += "; img-src ";
  policy += plain && wildcard_ok ? scheme + "://" + host : scheme + ":";
  return policy;
}

const std::string_view kStyle = R"(<style>
body{font:13px/1.4 sans-serif;margin:16px auto;padding:0 16px;color:#222;max-width:1320px}
h1{font-size:20px;margin:0 0 4px}h2{font-size:16px;margin:18px 0 6px}h3{font-size:14px;margin:12px 0 4px}
.sub,.hint{color:#555}.hint{font-size:12px;margin:2px 0 6px}.none{color:#777;font-style:italic}
svg{display:block;margin:0 0 6px}
svg.map,svg.chart{width:100%;height:auto}
.mapbox{position:relative}
.tools{display:flex;gap:6px;align-items:center;flex-wrap:wrap;margin:0 0 4px}
.tools button{font:inherit;min-width:28px;padding:1px 8px}.tools label{margin-left:8px}
#map{touch-action:none;user-select:none;-webkit-user-select:none;cursor:grab}
#map:focus{outline:2px solid #5b7db1}
.map .bg{fill:#f4f6f2;stroke:#ccc}
.ks{transform:scale(var(--s,1))}
#route polyline{fill:none;stroke-linecap:round;stroke-linejoin:round;vector-effect:non-scaling-stroke}
#route .casing polyline{stroke-width:7}#route .legs polyline{stroke-width:4}
#route.multi .dev[data-device="0"] .casing polyline{stroke-width:13}#route.multi .dev[data-device="0"] .legs polyline{stroke-width:10}
#route.multi .dev:not([data-device="0"]) .casing polyline{stroke-width:5}#route.multi .dev:not([data-device="0"]) .legs polyline{stroke-width:3}
#serving line{stroke:#5b7db1;stroke-width:1;stroke-dasharray:3 3;opacity:.7;vector-effect:non-scaling-stroke}
.site{fill:#333}.sector{stroke:#333;stroke-width:2}
.sitename{font-size:11px;fill:#333;paint-order:stroke;stroke:#fff;stroke-width:3px;stroke-opacity:.7}
.start{fill:#fff;stroke:#000;stroke-width:2}.end{fill:#000}
.evm{fill:#fff;stroke:#333;stroke-width:1.5;cursor:pointer}.evm.fail{fill:#d62728}
.ring{fill:none;stroke:#000;stroke-width:3}
.scalebar{stroke:#000;stroke-width:3}
.lg{font-size:11px;fill:#333}.ct{font-size:13px;font-weight:bold;fill:#222}
.tick,.unit{font-size:10px;fill:#555}.plot{fill:#fff;stroke:#bbb}.grid{stroke:#e4e4e4}
.series{fill:none;stroke-width:1.5}.devkey{stroke:#333;stroke-width:1.5}
.cursor{stroke:#000;stroke-width:1.5;stroke-dasharray:4 2}
svg.chart{cursor:crosshair}.mark{cursor:pointer}.mark.hollow{fill:#fff;stroke-width:2}
.tip{position:absolute;z-index:2;background:rgba(255,255,255,.96);border:1px solid #888;border-radius:3px;
padding:4px 7px;font-size:12px;line-height:1.35;pointer-events:none;max-width:340px;box-shadow:0 1px 4px rgba(0,0,0,.3)}
.tip b{display:block}.tip b+div{margin-top:1px}.tip div+b{margin-top:5px}
table{border-collapse:collapse;margin:0 16px 8px 0;vertical-align:top}
td,th{padding:2px 8px;text-align:left;border-bottom:1px solid #eee;vertical-align:top}
.cols{display:flex;flex-wrap:wrap;align-items:flex-start}
.evbox{max-height:320px;overflow:auto;position:relative;border:1px solid #ddd}
.evtable{margin:0;width:100%}.evtable thead th{position:sticky;top:0;background:#f2f2f2}
.evtable tbody tr{cursor:pointer}.evtable tbody tr:hover td{background:#f4f8ff}
.evtable tr.sel td{background:#ffe9a8}.evtable tr.fail td{color:#b00000}.cell{color:#555}
.cdfs{display:flex;flex-wrap:wrap;gap:6px 10px}svg.cdf{width:calc(33% - 8px);min-width:300px;height:auto}
.cdfline{fill:none;stroke-width:2}.cuts{color:#666;font-size:11px}
.swatch{display:inline-block;width:16px;height:8px;margin-right:6px;vertical-align:middle}
#script-errors{color:#c00}
@media print{
@page{size:A4 landscape;margin:10mm}
body{max-width:none;margin:0;padding:0;font-size:10px}
.noprint,.tip,#render-status{display:none!important}
.mapbox{break-after:page}
svg.map{width:auto;height:160mm;max-width:100%;margin:0 auto}
svg.chart{width:100%;break-inside:avoid}
#charts,#compare,#summary{break-before:page}
.evbox{max-height:none;overflow:visible;border:0}
svg.cdf{break-inside:avoid;width:32%;min-width:0}
table,tr{break-inside:avoid}
}
</style>
)";

// Runs before anything else: records script errors and, once loaded, what was drawn (for
// people, and for the browser test).
const std::string_view kStatusScript = R"(<script>
window.onerror=function(m,src,line){var e=document.getElementById('script-errors');
if(e){var li=document.createElement('li');li.textContent=m+' (line '+line+')';e.appendChild(li);
document.body.setAttribute('data-errors',e.children.length);}};
window.addEventListener('load',function(){var n=0,c=0,devs={},cdf=0,b=document.body;
document.querySelectorAll('#route .legs polyline').forEach(function(p){n+=p.points.numberOfItems;});
document.querySelectorAll('path.series').forEach(function(p){if(p.getTotalLength()>0)devs[p.getAttribute('data-device')]=1;});
document.querySelectorAll('svg.chart').forEach(function(s){
var drawn=Array.prototype.some.call(s.querySelectorAll('.series'),function(p){return p.getTotalLength()>0;});
if(drawn||s.querySelector('.mark'))c++;});
document.querySelectorAll('path.cdfline').forEach(function(p){if(p.getTotalLength()>0)cdf++;});
b.setAttribute('data-route-points',n);b.setAttribute('data-charts',c);
b.setAttribute('data-series-devices',Object.keys(devs).length);b.setAttribute('data-cdf-lines',cdf);
b.setAttribute('data-compare',document.getElementById('compare')?1:0);
b.setAttribute('data-errors',document.getElementById('script-errors').children.length);
document.getElementById('render-status').textContent='Drawn: '+n+' route line vertices, '+c+' charts.';});
</script>
)";

// The page's behaviour. Times in the data count seconds from the charts' start (t0).
const std::string_view kScript = R"(<script>
(function(){'use strict';
const $=id=>document.getElementById(id);
const json=id=>{const e=$(id);return e?JSON.parse(e.textContent):null;};
const M=json('map-data'),A=json('axis-data'),E=json('event-data')||[],body=document.body;
const P=M?M.pts:[],hidden={};
const hms=t=>new Date(t*1000).toISOString().slice(11,19);
function cursorAt(t){if(!A)return;const x=A.left+t/(A.t1-A.t0)*(A.width-A.left-A.right);
document.querySelectorAll('line.cursor').forEach(l=>{l.setAttribute('x1',x.toFixed(1));l.setAttribute('x2',x.toFixed(1));
l.setAttribute('visibility','visible');});}
function nearestEvent(t,dev){let best=-1,bd=Infinity;
for(const any of [false,true]){E.forEach((e,j)=>{if(e[0]===null||(!any&&e[1]!==dev))return;
const d=Math.abs(e[0]-t);if(d<bd){bd=d;best=j;}});if(best>=0)break;}return best;}
function highlight(j){const old=document.querySelector('#evbox tr.sel');if(old)old.classList.remove('sel');
const r=$('ev'+j),b=$('evbox');if(!r||!b)return;r.classList.add('sel');
b.scrollTop=r.offsetTop-b.clientHeight/2+r.offsetHeight/2;}
const svg=$('map'),view=$('view'),tip=$('tip'),box=$('mapbox');
let k=1,tx=0,ty=0;
const merc=(lat,lon)=>{const f=Math.max(-85.05112878,Math.min(85.05112878,lat))*Math.PI/180;
return [((lon+180)/360*256-M.x0)*M.s,((1-Math.log(Math.tan(f)+1/Math.cos(f))/Math.PI)/2*256-M.y0)*M.s];};
const EP=E.map(e=>M&&e[2]!==null?merc(e[2],e[3]):null);
function ring(x,y){const g=$('sel');if(!g)return;g.setAttribute('transform','translate('+x.toFixed(1)+' '+y.toFixed(1)+')');
g.setAttribute('visibility','visible');}
function selectEvent(j,centre){highlight(j);const e=E[j];if(!e)return;if(e[0]!==null)cursorAt(e[0]);
const p=EP[j];if(!p||!svg)return;if(centre){k=Math.max(k,4);tx=M.w/2-p[0]*k;ty=M.h/2-p[1]*k;apply();}ring(p[0],p[1]);}
function scalebar(){const g=$('scalebar');if(!g)return;const mpp=M.mpp/k,raw=mpp*M.w/5,p=Math.pow(10,Math.floor(Math.log10(raw)));
const len=+(([1,2,5,10].find(m=>m*p>=raw)||10)*p).toPrecision(3);
g.querySelector('line').setAttribute('x2',(20+len/mpp).toFixed(1));
g.querySelector('text').textContent=len>=1000?+(len/1000).toPrecision(3)+' km':len+' m';}
const have=new Map();
function tiles(){if(!M.tiles)return;const z=Math.max(0,Math.min(19,Math.round(Math.log2(M.s*k)))),n=Math.pow(2,z),size=256/n;
const wx=v=>((v-tx)/k)/M.s+M.x0,wy=v=>((v-ty)/k)/M.s+M.y0;
const i0=Math.max(0,Math.floor(wx(0)/size)),i1=Math.min(n-1,Math.floor(wx(M.w)/size));
const j0=Math.max(0,Math.floor(wy(0)/size)),j1=Math.min(n-1,Math.floor(wy(M.h)/size));
const want=new Set(),layer=$('tiles');
if((i1-i0+1)*(j1-j0+1)<=100)for(let i=i0;i<=i1;i++)for(let j=j0;j<=j1;j++){const key=z+'/'+i+'/'+j;want.add(key);
if(have.has(key))continue;const im=document.createElementNS(svg.namespaceURI,'image'),u=size*M.s;
im.setAttribute('x',((i*size-M.x0)*M.s).toFixed(3));im.setAttribute('y',((j*size-M.y0)*M.s).toFixed(3));
im.setAttribute('width',(u+0.5/k).toFixed(3));im.setAttribute('height',(u+0.5/k).toFixed(3));
im.setAttribute('preserveAspectRatio','none');
im.setAttribute('href',M.tiles.split('{z}').join(z).split('{x}').join(i).split('{y}').join(j).split('{s}').join('abc'[(i+j)%3]));
layer.appendChild(im);have.set(key,im);}
have.forEach((im,key)=>{if(!want.has(key)){im.remove();have.delete(key);}});}
function apply(){view.setAttribute('transform','translate('+tx.toFixed(2)+' '+ty.toFixed(2)+') scale('+k.toFixed(5)+')');
svg.style.setProperty('--s',(1/k).toFixed(6));scalebar();tiles();}
function zoomAt(p,f){const nk=Math.min(512,Math.max(1,k*f));f=nk/k;tx=p.x-(p.x-tx)*f;ty=p.y-(p.y-ty)*f;k=nk;apply();}
const toSvg=(el,cx,cy)=>new DOMPoint(cx,cy).matrixTransform(el.getScreenCTM().inverse());
function nearAll(p,px){const x=(p.x-tx)/k,y=(p.y-ty)/k,best={};
P.forEach((q,i)=>{if(hidden[q[3]])return;const dx=q[0]-x,dy=q[1]-y,d=dx*dx+dy*dy;
if(d<(px/k)*(px/k)&&(!(q[3] in best)||d<best[q[3]][1]))best[q[3]]=[i,d];});
return Object.values(best).sort((a,b)=>a[1]-b[1]).map(b=>b[0]);}
// The values of a route point; with several devices, those of each device's nearest point.
function showTip(i,others){const q=P[i];tip.textContent='';
const add=(tag,s)=>{const d=document.createElement(tag);d.textContent=s;tip.appendChild(d);};
[i].concat(others||[]).sort((a,b)=>P[a][3]-P[b][3]).forEach(n=>{const q=P[n];
add('b',hms(M.t0+q[2])+' UTC'+(M.devices>1?', device '+q[3]:'')+', '+(q[4]?'EV-DO':'1x')+' leg');
M.cols.forEach((c,j)=>{const v=q[7+j];if(v!==null)add('div',c[0]+': '+v+(c[1]?' '+c[1]:''));});
if(q[5]>=0)add('div','1x serving: '+M.servers[q[5]]);if(q[6]>=0)add('div','EV-DO serving: '+M.servers[q[6]]);});
const r=svg.getScreenCTM(),b=box.getBoundingClientRect();
const sx=(q[0]*k+tx)*r.a+r.e-b.left,sy=(q[1]*k+ty)*r.d+r.f-b.top;tip.hidden=false;
tip.style.left=Math.max(0,Math.min(sx+14,box.clientWidth-tip.offsetWidth-4))+'px';
tip.style.top=(sy+14)+'px';}
function tap(p){const x=(p.x-tx)/k,y=(p.y-ty)/k;let best=-1,bd=(10/k)*(10/k);
document.querySelectorAll('#evmarks path').forEach(el=>{const j=+el.dataset.i,e=EP[j];if(!e||hidden[E[j][1]])return;
const d=(e[0]-x)*(e[0]-x)+(e[1]-y)*(e[1]-y);if(d<bd){bd=d;best=j;}});
if(best>=0){selectEvent(best,false);return;}
const all=nearAll(p,12),i=all.length?all[0]:-1;if(i<0){tip.hidden=true;return;}
showTip(i,all.slice(1));ring(P[i][0],P[i][1]);cursorAt(P[i][2]);const j=nearestEvent(P[i][2],P[i][3]);if(j>=0)highlight(j);}
if(M&&svg){
svg.setAttribute('tabindex','0');
svg.addEventListener('wheel',e=>{e.preventDefault();const d=e.deltaMode===1?e.deltaY*16:e.deltaMode===2?e.deltaY*400:e.deltaY;
zoomAt(toSvg(svg,e.clientX,e.clientY),Math.exp(-d/300));},{passive:false});
const down=new Map();let moved=0,pinch=null;
svg.addEventListener('pointerdown',e=>{if(e.button>0)return;try{svg.setPointerCapture(e.pointerId);}catch(x){}
down.set(e.pointerId,toSvg(svg,e.clientX,e.clientY));if(down.size===1)moved=0;pinch=null;});
svg.addEventListener('pointermove',e=>{const p=toSvg(svg,e.clientX,e.clientY);
if(!down.has(e.pointerId)){if(e.pointerType!=='touch'){const all=nearAll(p,10);
if(all.length)showTip(all[0],all.slice(1));else tip.hidden=true;}return;}
const last=down.get(e.pointerId);down.set(e.pointerId,p);
if(down.size===1){tx+=p.x-last.x;ty+=p.y-last.y;moved+=Math.abs(p.x-last.x)+Math.abs(p.y-last.y);apply();}
else if(down.size===2){const [a,b]=[...down.values()],d=Math.hypot(a.x-b.x,a.y-b.y),m={x:(a.x+b.x)/2,y:(a.y+b.y)/2};
if(pinch&&pinch.d>0&&d>0){tx+=m.x-pinch.m.x;ty+=m.y-pinch.m.y;zoomAt(m,d/pinch.d);}pinch={d:d,m:m};moved=99;}});
const up=e=>{if(!down.has(e.pointerId))return;const p=down.get(e.pointerId);down.delete(e.pointerId);
if(down.size<2)pinch=null;if(e.type==='pointerup'&&down.size===0&&moved<5)tap(p);};
svg.addEventListener('pointerup',up);svg.addEventListener('pointercancel',up);
svg.addEventListener('pointerleave',()=>{if(!down.size)tip.hidden=true;});
svg.addEventListener('keydown',e=>{const c={x:M.w/2,y:M.h/2},s=60;
const a={'+':()=>zoomAt(c,1.5),'=':()=>zoomAt(c,1.5),'-':()=>zoomAt(c,1/1.5),ArrowLeft:()=>{tx+=s;apply();},
ArrowRight:()=>{tx-=s;apply();},ArrowUp:()=>{ty+=s;apply();},ArrowDown:()=>{ty-=s;apply();}}[e.key];
if(a){e.preventDefault();a();}});
$('zoom-in').addEventListener('click',()=>zoomAt({x:M.w/2,y:M.h/2},2));
$('zoom-out').addEventListener('click',()=>zoomAt({x:M.w/2,y:M.h/2},0.5));
$('zoom-reset').addEventListener('click',()=>{k=1;tx=0;ty=0;apply();});
document.querySelectorAll('.devtoggle').forEach(cb=>cb.addEventListener('change',()=>{const d=cb.dataset.device;
hidden[d]=!cb.checked;document.querySelectorAll('#route .dev[data-device="'+d+'"]').forEach(g=>{g.style.display=cb.checked?'':'none';});}));
apply();}
const evbox=$('evbox');
if(evbox)evbox.addEventListener('click',e=>{const tr=e.target.closest('tr[id^="ev"]');if(tr)selectEvent(+tr.id.slice(2),true);});
if(A)document.querySelectorAll('svg.chart').forEach(c=>c.addEventListener('click',e=>{
const mk=e.target.closest('.mark');if(mk){selectEvent(+mk.dataset.i,true);return;}
const p=toSvg(c,e.clientX,e.clientY),w=A.width-A.left-A.right;if(p.x<A.left||p.x>A.left+w)return;
const t=(p.x-A.left)/w*(A.t1-A.t0);cursorAt(t);
let best=-1,bd=Infinity;P.forEach((q,i)=>{if(hidden[q[3]])return;const d=Math.abs(q[2]-t);if(d<bd){bd=d;best=i;}});
if(best>=0&&bd<=60){ring(P[best][0],P[best][1]);showTip(best);}}));
})();
</script>
)";

}  // namespace report
}  // namespace cdmadiag
