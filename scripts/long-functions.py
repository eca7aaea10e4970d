#!/usr/bin/env python3
"""Lists the functions of the given folders' .cpp and .h files that are longer
than 60 lines (from the line of the opening brace's signature to the closing
brace), longest first, then their number. A brace counter, not a parser: it
skips comments, strings and raw strings, and counts a block as a function
when its head ends in a parameter list (or a constructor's initialisers)
outside any other function.

    python3 scripts/long-functions.py src tools
"""
import os
import re
import sys

LIMIT = 60
def strip(src):
    # remove comments and strings
    out=[];i=0;n=len(src)
    while i<n:
        c=src[i]
        if src.startswith('//',i):
            j=src.find('\n',i); j=n if j<0 else j; i=j; continue
        if src.startswith('/*',i):
            j=src.find('*/',i+2); seg=src[i:j+2]; out.append('\n'*seg.count('\n')); i=j+2; continue
        if src.startswith('R"',i):
            m=re.match(r'R"([^(]*)\(',src[i:]); d=m.group(1); j=src.find(')'+d+'"',i); seg=src[i:j+len(d)+2]; out.append('""'+'\n'*seg.count('\n')); i=j+len(d)+2; continue
        if c in '"\'':
            j=i+1
            while j<n and src[j]!=c:
                if src[j]=='\\': j+=1
                j+=1
            out.append(c+c); i=j+1; continue
        out.append(c); i+=1
    return ''.join(out)
res=[]
for root in sys.argv[1:]:
  for dp,dn,fn in os.walk(root):
    for f in fn:
      if not f.endswith(('.cpp','.h')): continue
      p=os.path.join(dp,f); s=strip(open(p,errors='replace').read())
      # scan braces; a block is a function if text before '{' (since last ; { }) ends with ')' maybe followed by qualifiers
      stack=[];last=0;line=1
      for i,c in enumerate(s):
        if c=='\n': line+=1
        if c=='{':
          head=s[last:i].strip()
          kind='other'
          if re.search(r'\b(namespace|class|struct|union|enum)\b[^()]*$',head) or head.endswith('extern "C"') or head.endswith('""'): kind='scope'
          elif re.search(r'\)\s*(const|noexcept|override|final|\s)*(->\s*[\w:<>]+\s*)?$',head) or re.search(r'\)\s*:\s*.*$',head,re.S):
            if not stack or all(k=='scope' for k,_,_ in stack): kind='func'
          if re.match(r'.*\b(if|for|while|switch|catch)\s*\(',head.split('\n')[-1]) : kind='other' if kind!='scope' else kind
          stack.append((kind,line,head.split('\n')[-1][:70])); last=i+1
        elif c=='}':
          if stack:
            k,l0,h=stack.pop()
            if k=='func' and line-l0+1>LIMIT: res.append((line-l0+1,p,l0,h))
          last=i+1
        elif c==';': last=i+1
for r in sorted(res,reverse=True): print(r)
print(len(res))
